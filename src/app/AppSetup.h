#pragma once

// Application-wide set-up shared by the entry routine and the QML test
// harness, so the harness renders the interface exactly as the application
// does: identity (which also names the data directory), window icon, the
// "Basic" controls style, right-to-left layout and the default font faces.
// Call once, right after the application object exists and before any QML
// engine is created.
namespace AppSetup {

void apply();

} // namespace AppSetup
