#include "app/Application.h"

#include "platform/AppError.h"
#include "platform/ErrorBox.h"
#include "platform/ProgramFolder.h"

namespace app {

namespace {
Application* g_instance = nullptr;
}

Application::Application()
{
    Q_ASSERT(!g_instance);
    g_instance = this;
    store.configure(platform::programFolder());
}

Application::~Application()
{
    // Later windows may refer to earlier ones: destroy them in reverse order of creation.
    while (!m_owned.empty())
        m_owned.pop_back();
    g_instance = nullptr;
}

Application& Application::instance()
{
    Q_ASSERT(g_instance);
    return *g_instance;
}

bool Application::exists() { return g_instance != nullptr; }

void Application::openQuery()
{
    store.HomeQuery.open();
}

} // namespace app
