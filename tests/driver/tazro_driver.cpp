// Win32 test driver: a small console program that the end-to-end tests run
// under Wine beside the screen saver to make host windows, find windows, read
// and set controls, press buttons and answer message boxes.
//
// Every command prints its findings on standard output, one "key value" or
// one item per line, and exits 0 on success, 1 when what it waited for did
// not happen in time, 2 on bad usage. Window handles are printed and taken
// as decimal numbers, the way the screen-saver host passes them.
//
// "batch" runs many commands in one process, so that a test does not start
// a Wine process for each: one command a line on standard input, its words
// separated by tabs; after each command's output comes a line "=end N" with
// the exit code the command would have had.
#include <windows.h>

#include <mmsystem.h>
#include <tlhelp32.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND ParseHandle(const char* text) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(std::strtoll(text, nullptr, 10)));
}

unsigned long long HandleNumber(HWND window) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window));
}

// Prints text with line breaks escaped as \n so that each item stays on a line.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

std::string WindowText(HWND window) {
    char buffer[1024] = "";
    // WM_GETTEXT works across processes for standard controls.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

std::string ClassOf(HWND window) {
    char buffer[256] = "";
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

struct Match {
    const char* className;
    const char* title;
    DWORD excludeProcess;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    Match* match = reinterpret_cast<Match*>(param);
    if (match->className != nullptr && ClassOf(window) != match->className)
        return TRUE;
    if (match->title != nullptr && WindowText(window) != match->title)
        return TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == match->excludeProcess)
        return TRUE;
    match->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    Match* match = reinterpret_cast<Match*>(param);
    if (match->className != nullptr && ClassOf(window) != match->className)
        return TRUE;
    match->found.push_back(window);
    return TRUE;
}

// Windows of that class (and title, when given) not owned by this process;
// children of parent when parent is given, else top-level windows.
std::vector<HWND> FindWindows(const char* className, const char* title, HWND parent) {
    Match match{className, title, GetCurrentProcessId(), {}};
    if (parent != nullptr)
        EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&match));
    else
        EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&match));
    return match.found;
}

void PrintWindowInfo(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    RECT client = {};
    GetClientRect(window, &client);
    std::printf("handle %llu\n", HandleNumber(window));
    std::printf("class %s\n", ClassOf(window).c_str());
    std::printf("title %s\n", Escaped(WindowText(window)).c_str());
    std::printf("rect %ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    std::printf("client %ld %ld\n", client.right, client.bottom);
    std::printf("style 0x%08lx\n", static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)));
    std::printf("exstyle 0x%08lx\n",
                static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
    std::printf("parent %llu\n", HandleNumber(GetAncestor(window, GA_PARENT) == GetDesktopWindow()
                                                  ? nullptr
                                                  : GetAncestor(window, GA_PARENT)));
    std::printf("owner %llu\n", HandleNumber(GetWindow(window, GW_OWNER)));
    std::printf("visible %d\n", IsWindowVisible(window) ? 1 : 0);
    std::printf("screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// Waits up to timeoutMs for a window of that class/title; none on time-out.
HWND WaitForWindow(const char* className, const char* title, HWND parent, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> found = FindWindows(className, title, parent);
        if (!found.empty())
            return found.front();
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs)
            return nullptr;
        Sleep(50);
    }
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// host-window W H [LIFETIME_MS]: a borderless top-level window standing in for
// the display control panel's preview. Prints its handle, then runs until it
// is closed (or LIFETIME_MS passes, when given, after which it destroys itself).
int HostWindow(int width, int height, int lifetimeMs) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = "TazroTestHost";
    RegisterClassA(&windowClass);
    HWND window =
        CreateWindowExA(0, "TazroTestHost", "Preview host", WS_POPUP | WS_VISIBLE, 40, 40, width,
                        height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        std::printf("error cannot create the host window\n");
        return 1;
    }
    std::printf("handle %llu\n", HandleNumber(window));
    std::fflush(stdout);
    if (lifetimeMs > 0)
        SetTimer(window, 1, static_cast<UINT>(lifetimeMs), nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == window) {
            DestroyWindow(window);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    std::printf("closed\n");
    return 0;
}

// The text of a message box (or any dialog): its static controls in order.
std::string DialogStatics(HWND dialog) {
    std::string text;
    for (HWND child : FindWindows("Static", nullptr, dialog)) {
        std::string t = WindowText(child);
        if (t.empty())
            continue;
        if (!text.empty())
            text += " | ";
        text += t;
    }
    return text;
}

void PrintControls(HWND dialog) {
    for (HWND child : FindWindows(nullptr, nullptr, dialog)) {
        const int id = GetDlgCtrlID(child);
        const std::string cls = ClassOf(child);
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        int checked = -1;
        if (cls == "Button")
            checked = static_cast<int>(SendMessageA(child, BM_GETCHECK, 0, 0));
        std::printf("control %d %s check=%d style=0x%08lx rect=%ld,%ld,%ld,%ld text=%s\n", id,
                    cls.c_str(), checked,
                    static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE)), rect.left,
                    rect.top, rect.right, rect.bottom, Escaped(WindowText(child)).c_str());
    }
}

// tone SECONDS: plays a 440 Hz tone through the wave-output device, so that a
// test can check the audio capture path without the screen saver.
int PlayTone(int seconds) {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 44100 * 4;
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        std::printf("error no wave-output device\n");
        return 1;
    }
    const int frames = 44100 * seconds;
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const double value = 8000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * i / 44100.0);
        samples[2 * static_cast<size_t>(i)] = static_cast<int16_t>(value);
        samples[2 * static_cast<size_t>(i) + 1] = static_cast<int16_t>(value);
    }
    WAVEHDR header = {};
    header.lpData = reinterpret_cast<LPSTR>(samples.data());
    header.dwBufferLength = static_cast<DWORD>(samples.size() * sizeof(int16_t));
    waveOutPrepareHeader(device, &header, sizeof header);
    waveOutWrite(device, &header, sizeof header);
    const DWORD start = GetTickCount();
    while (!(header.dwFlags & WHDR_DONE) &&
           GetTickCount() - start < static_cast<DWORD>(seconds) * 1000 + 3000)
        Sleep(20);
    waveOutReset(device);
    waveOutUnprepareHeader(device, &header, sizeof header);
    waveOutClose(device);
    std::printf("played %d\n", seconds);
    return 0;
}

// threads EXE: the threads of a running process of that file name (not this
// one, so that the driver can count another driver's threads): how many,
// and how many of them run at time-critical priority (base priority 15 or
// more, as the system reports it for THREAD_PRIORITY_TIME_CRITICAL). Exit 1
// with "no process" when none runs.
int CountThreads(const char* exe) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        std::printf("no snapshot\n");
        return 1;
    }
    DWORD process = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32First(snapshot, &entry); ok && process == 0;
         ok = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, exe) == 0 && entry.th32ProcessID != GetCurrentProcessId())
            process = entry.th32ProcessID;
    }
    int threads = 0;
    int timeCritical = 0;
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    for (BOOL ok = Thread32First(snapshot, &thread); ok && process != 0;
         ok = Thread32Next(snapshot, &thread)) {
        if (thread.th32OwnerProcessID != process)
            continue;
        ++threads;
        if (thread.tpBasePri >= 15)
            ++timeCritical;
    }
    CloseHandle(snapshot);
    if (process == 0) {
        std::printf("no process\n");
        return 1;
    }
    std::printf("process %lu\nthreads %d\ntime-critical %d\n", static_cast<unsigned long>(process),
                threads, timeCritical);
    return 0;
}

// A visible top-level window owned by owner, or none.
struct OwnedMatch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwned(HWND window, LPARAM param) {
    OwnedMatch* match = reinterpret_cast<OwnedMatch*>(param);
    if (GetWindow(window, GW_OWNER) == match->owner && IsWindowVisible(window)) {
        match->found = window;
        return FALSE;
    }
    return TRUE;
}

// reg-value SUBKEY NAME: prints "type N", "size N" and "data" with the bytes in
// hex, whatever the type tag says (reg.exe shows a 1-byte REG_DWORD as four
// bytes). Exit 1 with "no key" or "no value" when missing.
int RegValue(const char* subkey, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        std::printf("no key\n");
        return 1;
    }
    BYTE data[4096];
    DWORD type = 0;
    DWORD size = sizeof data;
    const LONG result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        std::printf("no value\n");
        return 1;
    }
    std::printf("type %lu\nsize %lu\ndata", static_cast<unsigned long>(type),
                static_cast<unsigned long>(size));
    for (DWORD i = 0; i < size; ++i)
        std::printf(" %02X", data[i]);
    std::printf("\n");
    return 0;
}

// reg-set SUBKEY NAME TYPE BYTE...: stores a value under HKEY_CURRENT_USER
// with that type tag and exactly those bytes (hex), the key made when
// missing; a one-byte REG_DWORD, which reg.exe cannot write, among them.
int RegSet(const char* subkey, const char* name, int type, char** bytes, int count) {
    std::vector<BYTE> data;
    for (int i = 0; i < count; ++i)
        data.push_back(static_cast<BYTE>(std::strtoul(bytes[i], nullptr, 16)));
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        std::printf("no key\n");
        return 1;
    }
    const LONG result = RegSetValueExA(key, name, 0, static_cast<DWORD>(type), data.data(),
                                       static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        std::printf("error %ld\n", static_cast<long>(result));
        return 1;
    }
    return 0;
}

// reg-delete SUBKEY [NAME]: removes a value, or the key (which has no
// subkeys) without a name. Nothing to remove is no error.
int RegDelete(const char* subkey, const char* name) {
    if (name == nullptr) {
        const LONG result = RegDeleteKeyA(HKEY_CURRENT_USER, subkey);
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 0 : 1;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    const LONG result = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 0 : 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tazro_driver COMMAND ...\n"
                 "  host-window W H [LIFETIME_MS]    make a preview host window, print handle\n"
                 "  wait-window CLASS|- TITLE|- TIMEOUT_MS [PARENT]\n"
                 "                                   wait for a window, print its facts\n"
                 "  gone CLASS TIMEOUT_MS            wait until no such top-level window\n"
                 "  info HWND                        print a window's facts\n"
                 "  close HWND                       post WM_CLOSE\n"
                 "  destroy-host HWND                close a host window and its children\n"
                 "  dialog TITLE|- TIMEOUT_MS        wait for a dialog (#32770), print facts\n"
                 "  msgbox TIMEOUT_MS [press]        wait for a message box, print caption,\n"
                 "                                   text and owner; press OK when asked\n"
                 "  controls HWND                    list a dialog's controls\n"
                 "  get-text HWND ID                 text of a control\n"
                 "  set-text HWND ID TEXT            set a control's text (edit/combo edit)\n"
                 "  click HWND ID                    press a button\n"
                 "  check HWND ID 0|1                set a check box\n"
                 "  combo-items HWND ID              list a combo box's entries\n"
                 "  combo-select HWND ID INDEX       select an entry as the user would\n"
                 "  key HWND VK                      send key down and up (decimal VK)\n"
                 "  foreground                       print the foreground window's handle\n"
                 "  tone SECONDS                     play a 440 Hz tone on the wave output\n"
                 "  threads EXE                      threads of a running process, and how\n"
                 "                                   many are time-critical\n"
                 "  owned OWNER TIMEOUT_MS           wait for a visible window owned by OWNER,\n"
                 "                                   print its facts\n"
                 "  reg-value SUBKEY NAME            a value under HKEY_CURRENT_USER exactly as\n"
                 "                                   stored: type, size and data bytes in hex\n"
                 "  reg-set SUBKEY NAME TYPE BYTE... store a value with that type and bytes\n"
                 "  reg-delete SUBKEY [NAME]         remove a value, or the key without NAME\n"
                 "  batch                            commands from standard input, one a line,\n"
                 "                                   words split by tabs, each answered by its\n"
                 "                                   output and a line \"=end EXIT_CODE\"\n");
    return 2;
}

const char* Arg(const char* text) {
    return std::strcmp(text, "-") == 0 ? nullptr : text;
}

// Tells a dialog that control id was used, as a click or a selection does.
void NotifyCommand(HWND dialog, int id, int code) {
    HWND control = GetDlgItem(dialog, id);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

int Run(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command == "host-window" && argc >= 4)
        return HostWindow(std::atoi(argv[2]), std::atoi(argv[3]),
                          argc >= 5 ? std::atoi(argv[4]) : 0);
    if (command == "wait-window" && argc >= 5) {
        HWND parent = argc >= 6 ? ParseHandle(argv[5]) : nullptr;
        HWND window = WaitForWindow(Arg(argv[2]), Arg(argv[3]), parent, std::atoi(argv[4]));
        if (window == nullptr) {
            std::printf("timeout\n");
            return 1;
        }
        PrintWindowInfo(window);
        return 0;
    }
    if (command == "gone" && argc >= 4) {
        const DWORD start = GetTickCount();
        while (!FindWindows(Arg(argv[2]), nullptr, nullptr).empty()) {
            if (static_cast<int>(GetTickCount() - start) >= std::atoi(argv[3])) {
                std::printf("still there\n");
                return 1;
            }
            Sleep(50);
        }
        std::printf("gone\n");
        return 0;
    }
    if (command == "info" && argc >= 3) {
        HWND window = ParseHandle(argv[2]);
        if (!IsWindow(window)) {
            std::printf("no window\n");
            return 1;
        }
        PrintWindowInfo(window);
        return 0;
    }
    if ((command == "close" || command == "destroy-host") && argc >= 3) {
        HWND window = ParseHandle(argv[2]);
        if (!IsWindow(window)) {
            std::printf("no window\n");
            return 1;
        }
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == "dialog" && argc >= 4) {
        HWND dialog = WaitForWindow("#32770", Arg(argv[2]), nullptr, std::atoi(argv[3]));
        if (dialog == nullptr) {
            std::printf("timeout\n");
            return 1;
        }
        PrintWindowInfo(dialog);
        return 0;
    }
    if (command == "msgbox" && argc >= 3) {
        HWND box = WaitForWindow("#32770", nullptr, nullptr, std::atoi(argv[2]));
        if (box == nullptr) {
            std::printf("timeout\n");
            return 1;
        }
        std::printf("caption %s\n", Escaped(WindowText(box)).c_str());
        std::printf("text %s\n", Escaped(DialogStatics(box)).c_str());
        std::printf("owner %llu\n", HandleNumber(GetWindow(box, GW_OWNER)));
        std::printf("ok-button %d\n", GetDlgItem(box, IDOK) != nullptr ? 1 : 0);
        std::fflush(stdout);
        if (argc >= 4 && std::strcmp(argv[3], "press") == 0) {
            HWND ok = GetDlgItem(box, IDOK);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(ok));
            // Wait until this box has gone so that a following box is not
            // mistaken for it.
            const DWORD start = GetTickCount();
            while (IsWindow(box) && GetTickCount() - start < 5000)
                Sleep(20);
        }
        return 0;
    }
    if (command == "controls" && argc >= 3) {
        PrintControls(ParseHandle(argv[2]));
        return 0;
    }
    if (command == "get-text" && argc >= 4) {
        HWND control = GetDlgItem(ParseHandle(argv[2]), std::atoi(argv[3]));
        if (control == nullptr)
            return 1;
        std::printf("%s\n", Escaped(WindowText(control)).c_str());
        return 0;
    }
    if (command == "set-text" && argc >= 5) {
        HWND dialog = ParseHandle(argv[2]);
        const int id = std::atoi(argv[3]);
        HWND control = GetDlgItem(dialog, id);
        if (control == nullptr)
            return 1;
        SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
        if (ClassOf(control) == "ComboBox")
            NotifyCommand(dialog, id, CBN_EDITCHANGE);
        else
            NotifyCommand(dialog, id, EN_CHANGE);
        return 0;
    }
    if (command == "click" && argc >= 4) {
        HWND dialog = ParseHandle(argv[2]);
        HWND control = GetDlgItem(dialog, std::atoi(argv[3]));
        if (control == nullptr)
            return 1;
        // Posted, not sent: a button that opens a modal dialog must not block us.
        PostMessageA(control, BM_CLICK, 0, 0);
        Sleep(100);
        return 0;
    }
    if (command == "check" && argc >= 5) {
        HWND dialog = ParseHandle(argv[2]);
        HWND control = GetDlgItem(dialog, std::atoi(argv[3]));
        if (control == nullptr)
            return 1;
        const bool want = std::atoi(argv[4]) != 0;
        if ((SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) != want)
            SendMessageA(control, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "combo-items" && argc >= 4) {
        HWND control = GetDlgItem(ParseHandle(argv[2]), std::atoi(argv[3]));
        if (control == nullptr)
            return 1;
        const int count = static_cast<int>(SendMessageA(control, CB_GETCOUNT, 0, 0));
        const int selected = static_cast<int>(SendMessageA(control, CB_GETCURSEL, 0, 0));
        std::printf("count %d\nselected %d\n", count, selected);
        for (int i = 0; i < count; ++i) {
            // Asked in UTF-16: Wine hands a cross-process CB_GETLBTEXT from an
            // ANSI caller the wide text, which would read as its first letter.
            wchar_t wide[256] = L"";
            char item[512] = "";
            if (SendMessageW(control, CB_GETLBTEXTLEN, i, 0) < 256)
                SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
            WideCharToMultiByte(CP_ACP, 0, wide, -1, item, sizeof item, nullptr, nullptr);
            std::printf("item %d %s\n", i, item);
        }
        return 0;
    }
    if (command == "combo-select" && argc >= 5) {
        HWND dialog = ParseHandle(argv[2]);
        const int id = std::atoi(argv[3]);
        HWND control = GetDlgItem(dialog, id);
        if (control == nullptr)
            return 1;
        SendMessageA(control, CB_SETCURSEL, std::atoi(argv[4]), 0);
        NotifyCommand(dialog, id, CBN_SELCHANGE);
        return 0;
    }
    if (command == "key" && argc >= 4) {
        HWND window = ParseHandle(argv[2]);
        const WPARAM key = static_cast<WPARAM>(std::atoi(argv[3]));
        PostMessageA(window, WM_KEYDOWN, key, 1);
        PostMessageA(window, WM_KEYUP, key, 1 | (3u << 30));
        return 0;
    }
    if (command == "threads" && argc >= 3)
        return CountThreads(argv[2]);
    if (command == "tone" && argc >= 3)
        return PlayTone(std::atoi(argv[2]));
    if (command == "foreground") {
        std::printf("handle %llu\n", HandleNumber(GetForegroundWindow()));
        return 0;
    }
    if (command == "owned" && argc >= 4) {
        OwnedMatch match{ParseHandle(argv[2]), nullptr};
        const DWORD start = GetTickCount();
        for (;;) {
            match.found = nullptr;
            EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&match));
            if (match.found != nullptr)
                break;
            if (static_cast<int>(GetTickCount() - start) >= std::atoi(argv[3])) {
                std::printf("timeout\n");
                return 1;
            }
            Sleep(50);
        }
        PrintWindowInfo(match.found);
        return 0;
    }
    if (command == "reg-value" && argc >= 4)
        return RegValue(argv[2], argv[3]);
    if (command == "reg-set" && argc >= 5)
        return RegSet(argv[2], argv[3], std::atoi(argv[4]), argv + 5, argc - 5);
    if (command == "reg-delete" && argc >= 3)
        return RegDelete(argv[2], argc >= 4 ? argv[3] : nullptr);
    return Usage();
}

// The batch loop: each line of standard input is one command line.
int Batch(char* program) {
    std::string line;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "quit")
            break;
        std::vector<std::string> words;
        size_t from = 0;
        for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
            words.push_back(line.substr(from, tab - from));
        words.push_back(line.substr(from));
        std::vector<char*> args{program};
        for (std::string& word : words)
            args.push_back(&word[0]);
        args.push_back(nullptr);
        const int code = Run(static_cast<int>(words.size()) + 1, args.data());
        std::printf("=end %d\n", code);
        std::fflush(stdout);
        line.clear();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "batch") == 0)
        return Batch(argv[0]);
    return Run(argc, argv);
}
