// The program's entry: replace mode, the updater, libraries up, one running
// copy, the main window and the one message loop, then everything down again.
#include <windows.h>
// The rest need the Windows types first.
#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>

#include "command_line.h"
#include "first_run.h"
#include "main_window.h"
#include "message_loop.h"
#include "program_folder.h"
#include "running_instances.h"
#include "updater_start.h"

#include <memory>
#include <string>

namespace {

// Bar, extended combo box and rebar controls.
constexpr DWORD kCommonControlClasses = ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES;

// Whether the main window shows at start: a start with Windows stays in the
// tray, and the first run leaves it to the wizard, which shows it when done.
bool ShowsAtStart() { return IsFirstRun() == 0 && !IsAutoRunStart(GetCommandLineW()); }

// Says why a start whose instance mutex was not its own runs all the same.
void NoteStartingBesideAnotherCopy(DWORD error)
{
    const std::wstring reason = L"Quarn: the instance mutex was not created new (error " + std::to_wstring(error)
        + L") and no running copy's window was found: starting anyway.\n";
    OutputDebugStringW(reason.c_str());
}

int RunClient()
{
    // Kept while this copy runs, though not its own: a later start still
    // sees a copy and looks for this one's window.
    const InstanceMutexClaim claim = ClaimInstanceMutex(kInstanceMutexName);
    if (claim.verdict != InstanceMutexVerdict::firstCopy) {
        if (ActivateRunningInstance()) {
            StartUpdater(false);
            return 0;
        }
        NoteStartingBesideAnotherCopy(claim.error);
    }
    Qaurn_Navigate_window::PrepareServices();
    // From the program's own folder: a bare name would try the current
    // directory first. Missing, the program runs without crash dumps.
    LoadLibraryW((ProgramFolder() + L"faultcatch.dll").c_str());

    MessageLoop loop;
    auto window = std::make_unique<Qaurn_Navigate_window>();
    window->SetMessageLoop(&loop);
    if (!window->CreateFullScreen(
            Qaurn_Navigate_window::Panels::later, Qaurn_Navigate_window::StartUpFetches::homeFeedFirst))
        return 0;
    SetPropW(window->GetHWND(), kInstanceProperty, reinterpret_cast<HANDLE>(1));
    if (ShowsAtStart()) {
        window->ShowWindow(SW_SHOWNORMAL);
        UpdateWindow(window->GetHWND());
    }
    window->QueueStartUpFetches();
    // Made while the first paint is already on the screen; the loop has not
    // run, so no input or answer can reach them sooner.
    window->CreatePanels();
    // Once the first picture is on the screen: another program starting (a
    // tenth of a second of processor under Wine) would hold back the first
    // paint, and then that picture's decode and fit.
    window->AfterStartPicture([] { StartUpdater(false); });
    const int result = loop.Run();
    // The window goes before the mutex, so a new start cannot find it half gone.
    window.reset();
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int)
{
    if (IsReplaceMode(arguments)) {
        TerminateOtherInstances(L"Quarn.exe");
        return 1;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof(controls), kCommonControlClasses};
    InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    const int result = RunClient();

    // Workers still running are not waited for.
    Gdiplus::GdiplusShutdown(gdiplusToken);
    CoUninitialize();
    return result;
}
