#include "app/Application.h"

#include "platform/AppError.h"
#include "platform/ErrorBox.h"
#include "platform/ProgramFolder.h"

namespace app {

Application::Application()
{
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
