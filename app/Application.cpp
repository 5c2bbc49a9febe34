#include "app/Application.h"

#include "platform/AppError.h"
#include "platform/ui/ErrorBox.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"
#include "platform/ui/RealServices.h"

namespace app {

Application::Application()
{
    // A test's fakes stay in place.
    if (!platform::servicesInstalled())
        platform::installRealServices();
    store.configure(platform::programFolder());
}

Application::~Application()
{
    // Later windows may refer to earlier ones: destroy them in reverse order of creation.
    while (!m_owned.empty())
        m_owned.pop_back();
}

void Application::openQuery()
{
    store.HomeQuery.open();
}

} // namespace app
