#pragma once

// Every test process works in directories of its own.
//
// Before main runs, test_environment.cpp makes a fresh directory below the
// temporary directory ($TMPDIR, or /tmp) and points XDG_CONFIG_HOME,
// XDG_DATA_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR at new directories in
// it, whatever they were, and TMPDIR at one more. Settings, the default
// drive, Qt's file dialog history, temporary directories and anything else
// a test makes "for the user" land there, and the whole directory is
// removed when the process exits normally, names that are not UTF-8 (which
// Qt cannot remove) included. The real user's files are never read or
// written, and programs the tests start inherit the same directories.
//
// The object file is linked into every executable that links
// vantrel_test_support (see tests/CMakeLists.txt), GoogleTest and Qt Test
// ones alike; nothing needs to call it. A test that sets one of these
// variables itself is free to, as long as it puts the old value back.

#include <string>

namespace vantrel::test {

// The directory that holds this process's XDG directories. Empty before
// static initialisation has made it, which no test ever sees.
const std::string &testEnvironmentRoot();

} // namespace vantrel::test
