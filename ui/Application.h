#pragma once

#include <memory>

class QApplication;

namespace dirtally {

// The window's application, connected to the graphical display. Where none can be opened, the
// program ends with status 1 and one line on standard error that says so and names the command
// that writes the report without a display, instead of Qt's abort.
std::unique_ptr<QApplication> startApplication(int& argc, char** argv);

// Gives the running application its title, name and version from the version record.
void applyVersionRecord();

}  // namespace dirtally
