// The real executable, started as a process of its own at a display scale
// and driven from outside through its window, one row per start: the
// window's layout and the painted panel read back from the screen, the About
// box, and how the program ends while connected.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "app/resource.h"
#include "display/panel_model.h"
#include "tests/win/tool_fixture.h"

namespace {

namespace fs = std::filesystem;
constexpr int kPort = 18;
const wchar_t kMainCaption[] = L"KAVRO Limit Switches";
const wchar_t kAboutCaption[] = L"Informationen zu KAVRO_Display_Limit_Switches";

struct ProgramRow {
    const char* name;
    int dpi;
    const wchar_t* copyAs;  // null: the tool as built; else a copy of it under this name
    enum End { CloseCommand, Escape, ControllerGone } end;
    // Run from a folder of its own that also holds DLLs someone left there.
    bool planted = false;
};

void PrintTo(const ProgramRow& row, std::ostream* os) { *os << row.name; }

// A child window's rectangle in its parent's client coordinates.
RECT ClientRectOf(HWND parent, HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// DLLs Windows loads from its system folder whatever lies beside the program.
const std::set<std::string> kKnownDlls = {"advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32",
                                          "gdiplus", "imagehlp", "imm32", "kernel32", "msctf", "msvcrt", "normaliz",
                                          "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost", "setupapi",
                                          "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32"};

// The DLLs a planted copy of which could be loaded into the program: every
// "x.dll" its file names (its imports, and the names it loads, in ASCII or
// UTF-16) that is not a KnownDLL, and winmm and oleacc (the second is what
// answers a screen reader).
std::set<std::string> PlantNames(const std::wstring& exe) {
    std::set<std::string> names = {"winmm", "oleacc"};
    std::ifstream file(std::string(exe.begin(), exe.end()), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    std::string utf16;  // each character of UTF-16 text as one byte
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        utf16 += bytes[i + 1] == 0 ? bytes[i] : '\0';
    const auto inName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'; };
    for (std::string text : {bytes, utf16}) {
        std::transform(text.begin(), text.end(), text.begin(), ::tolower);
        for (size_t dot = text.find(".dll"), start; dot != std::string::npos; dot = text.find(".dll", dot + 1)) {
            for (start = dot; start > 0 && inName(text[start - 1]);)
                --start;
            const std::string name = text.substr(start, dot - start);
            if (!name.empty() && (dot + 4 == text.size() || !inName(text[dot + 4])) && !kKnownDlls.count(name))
                names.insert(name);
        }
    }
    return names;
}

// The system's display scale, read by a program as it starts. Every other
// test shares the prefix and expects it as it was: leaving the scope puts
// back exactly what was there (no value at all in a fresh prefix, where even
// an explicit 96 changes how Wine paints).
struct DisplayScale {
    explicit DisplayScale(DWORD dpi) {
        had = ::RegGetValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &previous, &size) == 0;
        set = ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)) == 0;
    }
    ~DisplayScale() {
        EXPECT_EQ(0, had ? ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &previous, size)
                         : ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels"))
            << "LogPixels not put back";
    }
    static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
    DWORD previous = 0, size = sizeof(DWORD);
    bool had = false, set = false;
};

class ProgramTest : public ::testing::TestWithParam<ProgramRow> {
protected:
    void SetUp() override {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // a screen reader's thread runs COM
        ASSERT_TRUE(PrepareBench(kPort, "SN-1818", devices_, sim_));
        ASSERT_TRUE(sim_.SetSwitches("10100100")) << sim_.LastReply();
    }
    void TearDown() override {
        if (process_.hProcess) {
            ::TerminateProcess(process_.hProcess, 99);  // nothing, once it has ended
            ::WaitForSingleObject(process_.hProcess, 10000);
            ::CloseHandle(process_.hThread);
            ::CloseHandle(process_.hProcess);
        }
        if (!folder_.empty()) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kOverrides);
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
        ::CoUninitialize();
    }

    // The tool, built beside the test programs: ...\tests\win\ -> ...\bin\.
    static fs::path Built(const char* file) {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        return fs::path(path).parent_path() / ".." / ".." / file;
    }

    // Wine's own load order for the program: a DLL beside it before the
    // system's, as Windows searches. (Wine reads WINEDLLOVERRIDES from its
    // own environment only, not from the one CreateProcess passes.)
    static constexpr const wchar_t* kOverrides =
        L"Software\\Wine\\AppDefaults\\KAVRO_Display_Limit_Switches.exe\\DllOverrides";

    // A copy of the tool under this name in a folder of its own, with the
    // planted DLLs if asked for (test programs beside them would load them).
    std::wstring CopyOfTool(const wchar_t* name, bool planted) {
        const fs::path tool = Built("bin/KAVRO_Display_Limit_Switches.exe");
        folder_ = fs::temp_directory_path() / ("kavro-program-" + std::to_string(::GetCurrentProcessId()));
        fs::create_directories(folder_);
        for (const std::string& dll : planted ? PlantNames(tool.wstring()) : std::set<std::string>()) {
            fs::copy_file(Built("tests/win/planted.dll"), folder_ / (dll + ".dll"));
            EXPECT_EQ(0, ::RegSetKeyValueW(HKEY_CURRENT_USER, kOverrides, std::wstring(dll.begin(), dll.end()).c_str(),
                                           REG_SZ, L"native,builtin", sizeof(L"native,builtin")));
        }
        fs::copy_file(tool, folder_ / name);
        return (folder_ / name).wstring();
    }

    void Start(const ProgramRow& row) {
        const std::wstring exe = row.copyAs ? CopyOfTool(row.copyAs, row.planted)
                                            : Built("bin/KAVRO_Display_Limit_Switches.exe").wstring();
        // The program has read the scale once its window is up.
        const DisplayScale scale(static_cast<DWORD>(row.dpi));
        ASSERT_TRUE(scale.set);
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        ASSERT_TRUE(::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &process_))
            << "cannot start the tool: " << ::GetLastError();
        ASSERT_TRUE(WaitUntil([this] { return (main_ = FindDialog(process_.dwProcessId, 0, kMainCaption)); }, 30000))
            << "no main window";
    }
    HWND Control(int id) const { return ::GetDlgItem(main_, id); }
    // Waits until the panel on the screen shows e; returns the last
    // difference seen, empty when it does.
    std::string PanelBecomes(const PanelExpectation& e, int dpi) {
        std::string diff;
        WaitUntil([&] { return (diff = PanelDifferences(PixelCapture::OfScreen(main_), e, dpi)).empty(); }, 5000);
        return diff;
    }
    // Ends with the window closed, the port closed and exit code 0.
    void ExpectExit() {
        EXPECT_TRUE(sim_.WaitOpened(false, 15000)) << "port left open";
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process_.hProcess, 15000)) << "still running";
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(process_.hProcess, &code);
        EXPECT_EQ(0u, code);
    }

    TestPorts devices_;
    TestSim sim_;
    PROCESS_INFORMATION process_ = {};
    HWND main_ = nullptr;
    fs::path folder_;  // of a copy of the tool
};

// Every control inside the window and off the panel; the check box placed
// and sized to scale, its caption whole.
void ExpectLayout(HWND main, int dpi) {
    RECT client;
    ::GetClientRect(main, &client);
    EXPECT_EQ(ScalePixels(170, dpi), client.bottom) << "client-area height";
    const HWND check = ::GetDlgItem(main, IDC_INVERT_Z);
    const RECT box = ClientRectOf(main, check);
    EXPECT_EQ(ScalePixels(346, dpi), box.left);
    EXPECT_EQ(ScalePixels(83, dpi), box.top);
    EXPECT_EQ(ScalePixels(18, dpi), box.bottom - box.top);
    EXPECT_EQ(ScalePixels(358, dpi) - ScalePixels(346, dpi), client.right - box.right) << "gap to the right edge";
    const PanelRect p = PanelRectAt(dpi);
    const RECT panel = {p.left, p.top, p.right, p.bottom};
    for (HWND child = ::GetWindow(main, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT r = ClientRectOf(main, child);
        if (::EqualRect(&r, &panel))
            continue;  // the panel's own window, exactly over its place
        RECT overlap, inside;
        EXPECT_FALSE(::IntersectRect(&overlap, &r, &panel)) << "control " << ::GetDlgCtrlID(child) << " on the panel";
        ::IntersectRect(&inside, &r, &client);
        EXPECT_TRUE(::EqualRect(&inside, &r)) << "control " << ::GetDlgCtrlID(child) << " crosses the window's edge";
    }
    // A cut caption leaves its ink on the check box's edge rows, once the
    // box is painted: its mark is ink at mid-height.
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const int w = box.right - box.left, h = box.bottom - box.top;
    PixelCapture pixels = PixelCapture::OfScreen(check);
    EXPECT_TRUE(WaitUntil([&] {
        pixels = PixelCapture::OfScreen(check);
        for (int x = 0; x < h; ++x) {
            if (pixels.At(x, h / 2) != face)
                return true;
        }
        return false;
    }, 5000)) << "check box never painted";
    int edgeInk = 0;
    for (int x = 0; x < w; ++x)
        edgeInk += (pixels.At(x, 0) != face) + (pixels.At(x, h - 1) != face);
    for (int y = 0; y < h; ++y)
        edgeInk += pixels.At(w - 1, y) != face;
    EXPECT_EQ(0, edgeInk) << "caption of \"Swap Z axis\" cut";
}

// The boxes' raised frames and the labels, as the screen shows them.
void ExpectFramesAndLabels(HWND main, int dpi) {
    const PixelCapture c = PixelCapture::OfScreen(main);
    PanelSnapshot snapshot = {};
    snapshot.btnFace = ::GetSysColor(COLOR_BTNFACE);
    snapshot.btnText = ::GetSysColor(COLOR_BTNTEXT);
    for (const PanelPrimitive& p : PanelPrimitives(snapshot, dpi)) {
        const PanelRect& r = p.rect;
        const int midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
        if (p.kind == PanelPrimitive::RaisedFrame) {
            // Light above and left, dark below and right, outer ring then inner.
            const int o = p.edge.outer;
            EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DLIGHT)), ColorText(c.At(r.left, midY)));
            EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DLIGHT)), ColorText(c.At(midX, r.top)));
            EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DDKSHADOW)), ColorText(c.At(r.right - 1, midY)));
            EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DHILIGHT)), ColorText(c.At(r.left + o, midY)));
            EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DSHADOW)), ColorText(c.At(midX, r.bottom - 1 - o)));
        } else if (p.kind == PanelPrimitive::Label) {
            // Text-coloured ink centred in the label's square, as high as
            // the 14-pixel bold font's letters at this scale.
            RECT ink = {r.right, r.bottom, r.left, r.top};
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    if (c.At(x, y) != snapshot.btnFace)
                        ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                               std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
            SCOPED_TRACE(p.text);
            EXPECT_GE(ink.bottom - ink.top, ScalePixels(10, dpi)) << "label ink height";
            EXPECT_LE(ink.bottom - ink.top, ScalePixels(14, dpi)) << "label ink height";
            EXPECT_NEAR(midX, (ink.left + ink.right) / 2.0, ScalePixels(3, dpi));
            EXPECT_NEAR(midY, (ink.top + ink.bottom) / 2.0, ScalePixels(4, dpi));
        }
    }
}

// The width of text in a font of this face and height, as this process
// draws it.
int TextWidth(const std::wstring& text, const wchar_t* face, int height, int weight = FW_NORMAL) {
    const HFONT font = ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
    const HDC dc = ::GetDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(dc, font);
    SIZE size = {};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, previous);
    ::ReleaseDC(nullptr, dc);
    ::DeleteObject(font);
    return size.cx;
}

// Every text of the About box whole at this scale: each line in the dialog
// font within its control, the caption in the caption font within its bar
// beside the close button. The fonts are made here at the box's scale.
void ExpectAboutTextsWhole(HWND about, int dpi) {
    int lines = 0;
    for (HWND child = ::GetWindow(about, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (WindowClass(child) != L"Static" || (::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            continue;
        RECT r;
        ::GetClientRect(child, &r);
        const std::wstring text = WindowText(child);
        EXPECT_LE(TextWidth(text, L"MS Shell Dlg", -::MulDiv(8, dpi, 72)), r.right)
            << std::string(text.begin(), text.end()) << " cut";
        ++lines;
    }
    EXPECT_EQ(2, lines);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    RECT client;
    ::GetClientRect(about, &client);
    const int room = client.right - ScalePixels(::GetSystemMetrics(SM_CYCAPTION), dpi) - 1;
    EXPECT_LE(TextWidth(kAboutCaption, metrics.lfCaptionFont.lfFaceName, ScalePixels(metrics.lfCaptionFont.lfHeight, dpi),
                        metrics.lfCaptionFont.lfWeight),
              room)
        << "the About box's caption cut";
}

TEST_P(ProgramTest, RunsAtItsScaleAndEndsWhileConnected) {
    const ProgramRow& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(row));
    EXPECT_EQ(L"COM18", WindowText(Control(IDC_PORT_COMBO))) << "the registered port is chosen";
    EXPECT_EQ("", PanelBecomes({false, ""}, row.dpi)) << "grey before connecting";
    ExpectLayout(main_, row.dpi);
    ExpectPanelSays(main_, row.dpi, "NNNNNN");  // from another process, as a screen reader reads it

    ::PostMessageW(Control(IDC_CONNECT), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([this] { return WindowText(Control(IDC_CONNECT)) == L"Disconnect"; }, 10000));
    EXPECT_EQ(L"SN-1818", WindowText(Control(IDC_SERIAL_NUMBER)));
    EXPECT_EQ("", PanelBecomes({true, "10100100"}, row.dpi));
    ExpectPanelSays(main_, row.dpi, "SCSCSC");
    ExpectFramesAndLabels(main_, row.dpi);

    // The About box, owned by the main window, which waits for it.
    ::PostMessageW(main_, WM_SYSCOMMAND, IDM_ABOUT, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (about = FindDialog(process_.dwProcessId, 0, kAboutCaption)); }, 10000));
    EXPECT_EQ(main_, ::GetWindow(about, GW_OWNER));
    EXPECT_FALSE(::IsWindowEnabled(main_));
    ExpectAboutTextsWhole(about, row.dpi);
    ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(about, IDOK)));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(main_) && !::IsWindow(about); }, 10000));
    if (row.planted) {
        // A tool tip, and a screen reader's first question to the window and each control.
        RECT check;
        ::GetWindowRect(Control(IDC_INVERT_Z), &check);
        MovePointer(check.left + 10, check.top + 5);
        MovePointer(check.left + 11, check.top + 5);
        EXPECT_NE(nullptr, WaitToolTip(process_.dwProcessId, 5000)) << "no tool tip";
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(main_, WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_NORMAL, 5000, &answer);
        for (HWND child = ::GetWindow(main_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            ::SendMessageTimeoutW(child, WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_NORMAL, 5000, &answer);
    }

    switch (row.end) {
    case ProgramRow::CloseCommand:
        ::PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case ProgramRow::Escape: {
        // To the control that has the focus back from the About box: a key
        // posted to the box's button as it goes would be lost.
        HWND focus = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            GUITHREADINFO gui = {};
            gui.cbSize = sizeof(gui);
            focus = ::GetGUIThreadInfo(::GetWindowThreadProcessId(main_, nullptr), &gui) ? gui.hwndFocus : nullptr;
            return focus && (focus == main_ || ::IsChild(main_, focus));
        }, 10000)) << "the focus never came back to the window";
        ::PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        ::PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        break;
    }
    case ProgramRow::ControllerGone: {
        // The box that says so is captioned with the program's own name.
        ASSERT_TRUE(sim_.Hangup());
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = FindDialog(process_.dwProcessId, 0, nullptr, main_)); }, 10000));
        const std::wstring name(row.copyAs);
        EXPECT_EQ(name.substr(0, name.find_last_of(L'.')), WindowText(box));
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, 10000));
        ::PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    }
    ExpectExit();
    if (row.planted) {
        for (const fs::directory_entry& file : fs::directory_iterator(folder_))
            EXPECT_NE(".loaded", file.path().extension()) << file.path().filename() << ": a DLL beside it was loaded";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgramTest,
                         ::testing::Values(ProgramRow{"At100PercentClosed", 96, nullptr, ProgramRow::CloseCommand},
                                           ProgramRow{"At125PercentClosed", 120, nullptr, ProgramRow::CloseCommand},
                                           ProgramRow{"At150PercentEscape", 144, nullptr, ProgramRow::Escape},
                                           ProgramRow{"At200PercentClosed", 192, nullptr, ProgramRow::CloseCommand},
                                           ProgramRow{"RenamedCopyTellsItsName", 96, L"Limit.Check.exe",
                                                      ProgramRow::ControllerGone},
                                           ProgramRow{"PlantedDllsBesideItAreNeverLoaded", 96,
                                                      L"KAVRO_Display_Limit_Switches.exe", ProgramRow::CloseCommand,
                                                      true}),
                         [](const ::testing::TestParamInfo<ProgramRow>& info) { return std::string(info.param.name); });

}  // namespace
