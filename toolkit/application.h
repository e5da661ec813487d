#pragma once

#include <windows.h>

class Dialog;

// The program's one application object. Define exactly one, as a static
// object; the entry point calls its InitInstance once. There is no message loop
// of our own: when InitInstance returns, the program ends.
class Application {
 public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Does the program's work; false means there is nothing more to run.
  virtual bool InitInstance() = 0;

  void SetMainWindow(Dialog* dialog) { mainWindow_ = dialog; }
  Dialog* MainWindow() const { return mainWindow_; }

  static Application* Current();

 private:
  Dialog* mainWindow_ = nullptr;
};

// Releases what the toolkit holds for the whole program; call once the last
// dialog has closed, before it is destroyed.
void ToolkitCleanUp();
