#pragma once

namespace posflash {

// The backstop for a Qt program of ours that runs in secure-execution mode (getauxval
// (AT_SECURE): someone gave it a file capability or a setuid bit). glibc then ignores
// LD_PRELOAD, but Qt 6.4 still loads plugins from folders named by its variables and by
// -platformpluginpath. Called first in main(), before any Q*Application: clears every QT_ and
// QML variable but QT_QPA_PLATFORM (a platform's name, loaded from Qt's own folder once the
// paths are gone), and says so once on standard error. Returns 0 to go on, or the exit status
// when the command line names a plugin folder (refused, with the reason).
int GuardSecureExecution(const char* program, int argc, char** argv);
// The same with the mode given, for tests.
int GuardSecureExecution(const char* program, int argc, char** argv, bool secure);

} // namespace posflash
