// The fault suite's fixture: the real dialog and the simulated controller
// (ControllerDialogTest), and the checks every fault scenario ends with:
// the state the tool should be in, within a bound, with nothing leaked and
// the panel telling the truth.
#pragma once

#include <string>

#include "tests/win/controller_fixture.h"
#include "tests/win/panel_pixels.h"

// A message box's text and icon, as the scenarios expect them.
struct ExpectedBox {
    const wchar_t* text;
    MessageBoxSeen::Icon icon;
};
extern const ExpectedBox kNoResponseBox;
extern const ExpectedBox kConnectionLostBox;
extern const ExpectedBox kUnableToOpenBox;

// A status line as the reply rules clean it: cut at the first NUL, every
// byte up to 0x20 removed. Written from the rules, independently of the tool.
std::string Cleaned(const std::string& line);
// The eight flags a status line gives ('0'/'1' each): what the tool must
// show for a line whose cleaned form has at least six bytes.
std::string FlagsFor(const std::string& line);

class FaultTest : public ControllerDialogTest {
protected:
    explicit FaultTest(int port) : ControllerDialogTest(port) {}

    void SetUp() override;

    HWND Main() const { return driver_->Window(); }
    // Presses Connect and expects the connection up and polling.
    void Connect(const std::string& switches);
    // Sets the controller's status line and expects the flags to follow at
    // the next complete poll (no line from before may be read in its place),
    // and the panel to show them.
    void ExpectFollows(const std::string& line);
    // Waits for the message box and checks its text and icon; the box is
    // left open. Returns it (hWnd null when none came: a failure).
    MessageBoxSeen ExpectBox(const ExpectedBox& expected, int timeoutMs);
    // Idle as after a disconnect: "Connect", no worker, no serial number,
    // flags clear, port closed, timer resolution given back, panel grey,
    // and the process holding no more kernel handles than before the test.
    void ExpectIdle();
    // The panel shows these flags ('0'/'1' each; empty: not connected).
    ::testing::AssertionResult PanelBecomes(const std::string& flags, int timeoutMs);
    // Polls made from now until n more have gone out.
    void Polls(int n);

    int handlesAtStart_ = -1;
};
