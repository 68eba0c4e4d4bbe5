// The import list of a 32-bit plug-in held against this host's stand-ins.
#pragma once

#include <string>

// Maps the file at path without running it and prints how each of its imports
// would be bound: served by a stand-in, one of the dialog's (USER32 and GDI32
// functions that only the parameter dialog calls, which this host does not
// show), or unserved, named one per line. 0 when none is unserved, 1 when some
// are, the host-failure status when the file cannot be mapped.
int CheckImports(const std::string& path);
