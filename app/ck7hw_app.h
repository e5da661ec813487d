#pragma once

#include "application.h"

// Runs the setup form once, unless the main marking application is running.
class CK7HWApp : public Application {
 public:
  bool InitInstance() override;
};
