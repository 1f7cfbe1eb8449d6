// The scripted driver: one command a line, run against a shown pane.
//
//   set NAME VALUE   drag a slider to VALUE (kept in range); its action is sent once
//   click NAME       click a button (a checkbox toggles) and send its action
//   get NAME         print the control's value
//   show             print every named object with its class and value
//   snapshot NAME FILE  render the named view (the main view's name: the whole
//                    pane) into a PNG file at its frame's size
//   leave            the user leaves the pane (didUnselect)
//   reload           a fresh controller and main view (mainViewDidLoad again)
//
// Blank lines and lines starting with # are skipped. The first failing
// line stops the script. SIGTERM, SIGHUP or SIGINT stop it too: the pane,
// if shown, is left (its settings stored) and the run counts as a success.
#pragma once

#include <Result.h>

#include <istream>
#include <ostream>
#include <string>

#include "pane_session.h"

class ScriptRunner {
public:
    ScriptRunner(PaneSession &session, std::string scriptName, std::ostream &out)
        : session_(session), scriptName_(std::move(scriptName)), out_(out) {}

    // On failure the message names the script and line.
    Status run(std::istream &script);

private:
    Status runCommand(const std::vector<std::string> &words);
    Status set(const std::vector<std::string> &words);
    Status click(const std::vector<std::string> &words);
    Status get(const std::vector<std::string> &words);
    Status show(const std::vector<std::string> &words);
    Status snapshot(const std::vector<std::string> &words);
    Status lifecycle(const std::vector<std::string> &words);
    Status requireShown(const std::string &command) const;
    Result<NSObject *> control(const std::string &name) const;
    Result<NSObject *> shownControlOfKind(const std::string &command, const std::string &name, Class kind,
                                          const char *kindName) const;

    PaneSession &session_;
    std::string scriptName_;
    std::ostream &out_;
};
