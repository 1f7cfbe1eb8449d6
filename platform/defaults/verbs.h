// The verbs of `defaults`. Each takes the words after the verb, prints its
// result on standard output and its failure as one line on standard error,
// and returns the exit status (0, 1 for a failure, 2 for a wrong command line).
#pragma once

#include "domain.h"
#include "shown_text.h"

#include <CFText.h>

#include <string>
#include <vector>

using Words = std::vector<std::string>;

// The failures of the verbs' own steps come back as Result values; only a
// verb turns one into its report and exit status.
int usage_error(const std::string &problem);
int fail(const std::string &message);
// A line for the user on standard error that is no failure; nothing when empty.
void tell(const std::string &line);

int verb_read(const Words &args, const Scope &scope);
int verb_read_type(const Words &args, const Scope &scope);
int verb_domains(const Words &args, const Scope &scope);
int verb_find(const Words &args, const Scope &scope);
int verb_export(const Words &args, const Scope &scope);

int verb_write(const Words &args, const Scope &scope);
int verb_rename(const Words &args, const Scope &scope);
int verb_delete(const Words &args, const Scope &scope);
int verb_import(const Words &args, const Scope &scope);
