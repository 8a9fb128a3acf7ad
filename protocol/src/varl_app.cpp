#include "varl_app.h"

namespace varl {

CVarlApp::CVarlApp() { InitInstance(); }

CVarlApp::~CVarlApp() = default;

bool CVarlApp::InitInstance() { return true; }

// Constructed when the library is loaded.
static CVarlApp theApp;

}  // namespace varl
