// Reading a whole file up front, so that a directory or a read error is
// reported before anything acts on the content.
#pragma once

#include <Result.h>

#include <string>

// The file's bytes; a failure "cannot read NAME: REASON", NAME being how
// the caller calls the file.
Result<std::string> readWholeFile(const std::string &path, const std::string &name);
