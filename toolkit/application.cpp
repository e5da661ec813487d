#include "application.h"

namespace {
Application* g_application = nullptr;
}

Application::Application() {
  g_application = this;
}

Application::~Application() {
  if (g_application == this) g_application = nullptr;
}

Application* Application::Current() {
  return g_application;
}

void ToolkitCleanUp() {
  if (g_application) g_application->SetMainWindow(nullptr);
}
