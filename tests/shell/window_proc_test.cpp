// The window procedure's dispatch table, drawing, OpenAndShow and the click.
#include <cstring>
#include <vector>

#include "picture/diffusion.h"
#include "shell/winmain.h"
#include "shell/window_proc.h"
#include "shell_fixture.h"

namespace {

class WindowProcTest : public ShellTest {
protected:
    // Starts the program with a 7 x 5 default picture and paints the window.
    void StartWithPicture() {
        WriteDefaultPicture(7, 5);
        ASSERT_TRUE(InitApplication());
        ASSERT_EQ(appState.pictureReady, 1);
        Pump();
        host::RecordCalls(true);
        host::ClearCallLog();
    }

    // Lets the picture dissolve a little, so that a reload is visible.
    static void Dissolve() {
        for (int i = 0; i < 20; ++i) {
            StepPicture(&appState.currentPicture);
        }
    }

    static std::vector<std::uint8_t> Bits() {
        const Picture& picture = appState.currentPicture;
        return std::vector<std::uint8_t>(picture.bits, picture.bits + picture.dataSize);
    }

    static RECT WindowRect() {
        RECT rect{};
        EXPECT_TRUE(platform::GetWindowRect(appState.mainWindow, &rect));
        return rect;
    }

    static LRESULT Click() { return WndProc(appState.mainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2)); }
};

TEST_F(WindowProcTest, MessagesWithNothingToDoReturnZeroAndCallNothing) {
    StartWithPicture();
    const std::vector<std::uint8_t> bits = Bits();
    const RECT rect = WindowRect();
    const UINT quiet[] = {WM_SIZE,  WM_ACTIVATE,   WM_SETREDRAW,   WM_KEYDOWN,  WM_COMMAND,
                          WM_TIMER, WM_MOUSEMOVE,  WM_RBUTTONDOWN, WM_DROPFILES};
    host::ClearCallLog();
    for (UINT message : quiet) {
        SCOPED_TRACE(message);
        EXPECT_EQ(WndProc(appState.mainWindow, message, 1, MAKELPARAM(3, 4)), 0);
    }
    EXPECT_TRUE(host::CallLog().empty());  // not even DefWindowProcA
    EXPECT_EQ(Bits(), bits);
    EXPECT_EQ(WindowRect().right, rect.right);
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), "mottle.bmp");
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, OtherMessagesReachTheDefaultProcedureWithTheirArguments) {
    StartWithPicture();
    // WM_SETTEXT: the default procedure keeps the text and returns TRUE.
    const char text[] = "other caption";
    EXPECT_EQ(WndProc(appState.mainWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)), TRUE);
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), "other caption");
    // WM_ERASEBKGND: the default procedure fills with the class's white and
    // returns 1.
    EXPECT_EQ(WndProc(appState.mainWindow, WM_ERASEBKGND, 0, 0), 1);
    EXPECT_EQ(host::ClientPixel(appState.mainWindow, 0, 0), 0x00FFFFFFu);
    const UINT passed[] = {WM_NULL, WM_MOVE, WM_KEYUP, WM_CHAR, WM_LBUTTONUP, WM_RBUTTONUP, WM_USER};
    for (UINT message : passed) {
        host::ClearCallLog();
        EXPECT_EQ(WndProc(appState.mainWindow, message, 0, 0), 0);
        char entry[32];
        std::snprintf(entry, sizeof entry, "DefWindowProcA 0x%04X", message);
        EXPECT_EQ(CountCalls(entry), 1) << entry;
    }
    // WM_SYSCOMMAND SC_CLOSE: the default procedure closes the window.
    EXPECT_EQ(WndProc(appState.mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_FALSE(winmodel::IsLive(appState.mainWindow));
    EXPECT_EQ(appState.pictureReady, 0);
}

TEST_F(WindowProcTest, CreateStoresTheWindow) {
    const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
    EXPECT_EQ(WndProc(window, WM_CREATE, 0, 0), 0);
    EXPECT_EQ(appState.mainWindow, window);
}

TEST_F(WindowProcTest, DestroyAndQuitReleaseThePictureAndPostQuit) {
    for (UINT message : {UINT{WM_DESTROY}, UINT{WM_QUIT}}) {
        SCOPED_TRACE(message);
        StartWithPicture();
        EXPECT_EQ(WndProc(appState.mainWindow, message, 0, 0), 0);
        EXPECT_EQ(appState.pictureReady, 0);
        EXPECT_EQ(host::CurrentCounts().bitmaps, 0);
        EXPECT_EQ(host::CurrentCounts().globalBlocks, 0);
        EXPECT_EQ(host::CurrentCounts().heapBlocks, 0);
        MSG quit;
        ASSERT_TRUE(platform::PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
        EXPECT_EQ(quit.wParam, 0u);
        // A second one, with no picture held, only posts the quit again.
        EXPECT_EQ(WndProc(appState.mainWindow, message, 0, 0), 0);
        platform::DestroyWindow(appState.mainWindow);
        appState = AppState{};
        host::ResetWindowing();
    }
}

TEST_F(WindowProcTest, CloseDestroysTheWindow) {
    StartWithPicture();
    EXPECT_EQ(WndProc(appState.mainWindow, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(winmodel::IsLive(appState.mainWindow));
    EXPECT_EQ(appState.pictureReady, 0);
    EXPECT_TRUE(Before("DestroyWindow", "Message 0x0002"));
    EXPECT_TRUE(Before("Message 0x0002", "PostQuitMessage 0"));
}

TEST_F(WindowProcTest, PaintDrawsThePictureOverAnEnlargedWhiteWindow) {
    StartWithPicture();
    // The user enlarges the window: white shows beyond the picture.
    const RECT rect = WindowRect();
    ASSERT_TRUE(platform::MoveWindow(appState.mainWindow, rect.left, rect.top, 40, 50, TRUE));
    Dissolve();
    ASSERT_TRUE(host::NeedsPaint(appState.mainWindow));
    Pump();
    EXPECT_FALSE(host::NeedsPaint(appState.mainWindow));
    EXPECT_TRUE(ClientShowsPicture());
    EXPECT_EQ(host::ClientPixel(appState.mainWindow, 7, 0), 0x00FFFFFFu);
    EXPECT_EQ(host::ClientPixel(appState.mainWindow, 0, 5), 0x00FFFFFFu);
    EXPECT_EQ(host::ClientPixel(appState.mainWindow, 40 - host::kFrameWidth - 1,
                                50 - host::kFrameHeight - 1),
              0x00FFFFFFu);
    EXPECT_EQ(CountCalls("BeginPaint"), 1);
    EXPECT_EQ(CountCalls("EndPaint"), 1);
    EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, PaintWithoutAContextStillValidatesTheWindow) {
    StartWithPicture();
    platform::MoveWindow(appState.mainWindow, 0, 0, 60, 60, TRUE);
    ASSERT_TRUE(host::NeedsPaint(appState.mainWindow));
    host::FailAfter(host::Fault::BeginPaint, 0);
    // A window left invalid would be offered WM_PAINT again on every poll and
    // the loop would never step: one paint message, then an empty queue.
    int paints = 0;
    MSG message;
    for (int poll = 0; poll < 5 && platform::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++poll) {
        paints += message.message == WM_PAINT;
        platform::DispatchMessageA(&message);
    }
    EXPECT_EQ(paints, 1);
    EXPECT_FALSE(host::NeedsPaint(appState.mainWindow));
    EXPECT_EQ(CountCalls("SetDIBitsToDevice"), 0);
    EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, PaintWithoutAPictureDrawsNothing) {
    ASSERT_TRUE(InitApplication());
    platform::MoveWindow(appState.mainWindow, 0, 0, 100, 100, TRUE);
    host::RecordCalls(true);
    EXPECT_EQ(WndProc(appState.mainWindow, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(CountCalls("SetDIBitsToDevice"), 0);
    EXPECT_EQ(CountCalls("EndPaint"), 1);
    EXPECT_EQ(host::ClientPixel(appState.mainWindow, 10, 10), 0x00FFFFFFu);
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, OpenAndShowReplacesThePictureAndFitsTheWindow) {
    StartWithPicture();
    const RECT before = WindowRect();
    const HBITMAP oldBitmap = appState.currentPicture.deviceBitmap;
    const std::string path = WriteFile("second.bmp", BitmapFile(11, 6));
    std::strcpy(appState.currentFile, path.c_str());

    host::ClearCallLog();
    OpenAndShow(appState.mainWindow);
    ASSERT_EQ(appState.pictureReady, 1);
    EXPECT_EQ(appState.currentPicture.width, 11);
    EXPECT_NE(appState.currentPicture.deviceBitmap, oldBitmap);
    // The old picture went back: one picture's worth of resources is live.
    EXPECT_EQ(host::CurrentCounts().bitmaps, 1);
    EXPECT_EQ(host::CurrentCounts().globalBlocks, 2);
    EXPECT_EQ(host::CurrentCounts().heapBlocks, 1);
    EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), path);
    // Drawn while the client area was still the old size; the part the fitted
    // window uncovers comes with the next paint.
    EXPECT_EQ(host::ClientPixel(appState.mainWindow, 6, 4), PicturePixel(6, 4));
    EXPECT_TRUE(host::NeedsPaint(appState.mainWindow));
    const RECT after = WindowRect();
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, 11 + appState.frameExtraX);
    EXPECT_EQ(after.bottom - after.top, 6 + appState.frameExtraY);
    EXPECT_TRUE(Before("DeleteObject", "SetWindowTextA"));
    EXPECT_TRUE(Before("SetDIBitsToDevice", "ReleaseDC"));
    EXPECT_TRUE(Before("ReleaseDC", "GetWindowRect"));
    EXPECT_TRUE(host::MessageBoxCalls().empty());
    Pump();
    EXPECT_TRUE(ClientShowsPicture());
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, OpenAndShowFailureShowsTheMessageAndChangesNothingElse) {
    StartWithPicture();
    Dissolve();
    const std::vector<std::uint8_t> bits = Bits();
    const Picture held = appState.currentPicture;
    const RECT before = WindowRect();
    const std::string eightBit = WriteFile("eight.bmp", BitmapFile(4, 4, 8));
    const std::string missing = folder_ + "/missing.bmp";
    int shown = 0;
    for (const std::string& path : {eightBit, missing}) {
        SCOPED_TRACE(path);
        std::strcpy(appState.currentFile, path.c_str());
        host::ClearCallLog();
        OpenAndShow(appState.mainWindow);
        ASSERT_EQ(host::MessageBoxCalls().size(), static_cast<std::size_t>(++shown));
        const host::MessageBoxCall& box = host::MessageBoxCalls().back();
        EXPECT_EQ(box.owner, appState.mainWindow);
        EXPECT_EQ(box.text, kErrorTextBytes);
        EXPECT_EQ(box.text.size(), 40u);
        EXPECT_EQ(box.caption, kErrorCaptionBytes);
        EXPECT_EQ(box.caption.size(), 10u);
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
        EXPECT_EQ(appState.pictureReady, 1);
        EXPECT_EQ(appState.currentPicture.bits, held.bits);
        EXPECT_EQ(appState.currentPicture.deviceBitmap, held.deviceBitmap);
        EXPECT_EQ(Bits(), bits);
        EXPECT_EQ(host::CaptionOf(appState.mainWindow), "mottle.bmp");
        const RECT after = WindowRect();
        EXPECT_EQ(after.right - after.left, before.right - before.left);
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
        EXPECT_EQ(CountCalls("SetWindowTextA"), 0);
        EXPECT_EQ(CountCalls("MoveWindow " + std::to_string(before.left) + " " +
                             std::to_string(before.top) + " 15 36 1"),
                  0);
        EXPECT_EQ(CountCalls("GetDC"), 1);
        EXPECT_EQ(CountCalls("ReleaseDC"), 1);
        EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
        EXPECT_EQ(host::CurrentCounts().openFiles, 0);
    }
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, ClickWithAConfirmedPickLoadsTheChosenFile) {
    StartWithPicture();
    const std::string path = WriteFile("picked.bmp", BitmapFile(10, 8));
    host::AnswerOpenDialog(path);
    EXPECT_EQ(Click(), 0);

    ASSERT_EQ(host::OpenDialogCalls().size(), 1u);
    const host::OpenDialogCall& dialog = host::OpenDialogCalls()[0];
    EXPECT_EQ(dialog.lStructSize, 76u);
    EXPECT_EQ(dialog.hwndOwner, appState.mainWindow);
    EXPECT_EQ(dialog.filter,
              (std::vector<std::string>{"Exe Files(*.bmp)", "*.bmp", "All Files(*.*)", "*.*"}));
    EXPECT_EQ(dialog.lpstrFile, appState.currentFile);
    EXPECT_EQ(dialog.fileOnEntry, "mottle.bmp");
    EXPECT_EQ(dialog.nMaxFile, 520u);
    EXPECT_TRUE(dialog.hasTitle);
    EXPECT_EQ(dialog.title, kDialogTitleBytes);
    EXPECT_EQ(dialog.title.size(), 14u);
    EXPECT_EQ(dialog.Flags, 0x1804u);
    EXPECT_TRUE(dialog.otherMembersZero);

    EXPECT_STREQ(appState.currentFile, path.c_str());
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), path);
    EXPECT_EQ(appState.currentPicture.width, 10);
    const RECT rect = WindowRect();
    EXPECT_EQ(rect.right - rect.left, 10 + appState.frameExtraX);
    EXPECT_EQ(rect.bottom - rect.top, 8 + appState.frameExtraY);
    EXPECT_TRUE(host::MessageBoxCalls().empty());
    EXPECT_TRUE(Before("GetOpenFileNameA", "OpenFile"));
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, ClickWithACancelledPickReloadsTheCurrentFile) {
    StartWithPicture();
    const std::vector<std::uint8_t> stored = Bits();
    Dissolve();
    ASSERT_NE(Bits(), stored);
    platform::MoveWindow(appState.mainWindow, 100, 90, 300, 200, TRUE);  // the user resized it
    host::CancelOpenDialog();
    EXPECT_EQ(Click(), 0);
    EXPECT_STREQ(appState.currentFile, "mottle.bmp");
    EXPECT_EQ(Bits(), stored);  // back to the stored picture
    const RECT rect = WindowRect();
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 90);
    EXPECT_EQ(rect.right - rect.left, 7 + appState.frameExtraX);
    EXPECT_TRUE(host::MessageBoxCalls().empty());
    // A dialog nobody answers counts as cancelled, with the same outcome.
    EXPECT_EQ(Click(), 0);
    EXPECT_FALSE(host::OpenDialogCalls().back().answered);
    EXPECT_EQ(appState.pictureReady, 1);
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, WindowClosedWhileTheDialogIsOpenIsLeftAlone) {
    // Once with a picture held, once after the default was refused: either
    // way nothing is loaded or shown for the window once it is gone.
    for (bool withPicture : {true, false}) {
        SCOPED_TRACE(withPicture);
        if (withPicture) {
            StartWithPicture();
        } else {
            ASSERT_TRUE(InitApplication());
            host::RecordCalls(true);
        }
        const std::size_t boxes = host::MessageBoxCalls().size();
        host::ClearCallLog();
        host::CloseOwnerDuringOpenDialog();
        EXPECT_EQ(Click(), 0);
        EXPECT_FALSE(winmodel::IsLive(appState.mainWindow));
        EXPECT_EQ(CountCalls("OpenFile"), 0);
        EXPECT_EQ(host::MessageBoxCalls().size(), boxes);
        EXPECT_EQ(appState.pictureReady, 0);
        EXPECT_EQ(host::CurrentCounts().bitmaps, 0);
        EXPECT_EQ(host::CurrentCounts().globalBlocks, 0);
        EXPECT_EQ(host::CurrentCounts().heapBlocks, 0);
        EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
        MSG quit;
        ASSERT_TRUE(platform::PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
        appState = AppState{};
        host::ResetWindowing();
    }
}

TEST_F(WindowProcTest, RefusedPickIsTriedAgainAfterALaterCancel) {
    StartWithPicture();
    const std::string refused = WriteFile("eight.bmp", BitmapFile(4, 4, 8));
    const std::vector<std::uint8_t> bits = Bits();
    host::AnswerOpenDialog(refused);
    EXPECT_EQ(Click(), 0);
    ASSERT_EQ(host::MessageBoxCalls().size(), 1u);
    EXPECT_EQ(host::MessageBoxCalls()[0].owner, appState.mainWindow);
    // The refused path is current; the caption and picture are the previous ones.
    EXPECT_STREQ(appState.currentFile, refused.c_str());
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), "mottle.bmp");
    EXPECT_EQ(Bits(), bits);

    host::CancelOpenDialog();
    EXPECT_EQ(Click(), 0);
    EXPECT_EQ(host::OpenDialogCalls()[1].fileOnEntry, refused);
    EXPECT_EQ(host::MessageBoxCalls().size(), 2u);
    EXPECT_EQ(host::CaptionOf(appState.mainWindow), "mottle.bmp");
    EXPECT_EQ(appState.pictureReady, 1);
    EXPECT_EQ(host::CurrentCounts().drawingContexts, 0);
    platform::DestroyWindow(appState.mainWindow);
}

TEST_F(WindowProcTest, DialogErrorLeavesATerminatedPathThatIsLoadedAsItStands) {
    StartWithPicture();
    // A path too long for the buffer ends the dialog in an error; the dialog
    // writes the size it needed into the first two bytes.
    host::AnswerOpenDialog(std::string(600, 'a'));
    EXPECT_EQ(Click(), 0);
    EXPECT_EQ(static_cast<unsigned char>(appState.currentFile[0]), 601 & 0xFF);
    EXPECT_LT(std::strlen(appState.currentFile), sizeof appState.currentFile);
    EXPECT_EQ(host::MessageBoxCalls().size(), 1u);
    EXPECT_EQ(appState.pictureReady, 1);
    platform::DestroyWindow(appState.mainWindow);
}

}  // namespace
