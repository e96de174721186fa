// mottler.scr /c: the dialog, the choice it keeps in the registry, and the
// next run dissolving that choice.
#include <cstring>
#include <string>

#include "saver/settings_dialog.h"
#include "saver_fixture.h"

namespace {

// "ファイルが１６Ｍ色モードではありません。" and "エラー発生", the desktop
// program's message, as the bytes the platform must receive.
const std::string kErrorText =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x82\x50\x82\x55\x82\x6C\x90\x46\x83\x82"
    "\x81\x5B\x83\x68\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42";
const std::string kErrorCaption = "\x83\x47\x83\x89\x81\x5B\x94\xAD\x90\xB6";

int RunScr(const char* commandLine) {
    std::string line = commandLine;
    return WinMain(TestInstance(), nullptr, line.data(), 1);
}

SaverSettings Stored() {
    SaverSettings settings;
    ReadSettings(&settings);
    return settings;
}

bool KeyExists() {
    HKEY key = nullptr;
    if (platform::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\MOTTLER\\Screensaver", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    platform::RegCloseKey(key);
    return true;
}

// Stores raw values, as another program or an older version might have.
void StoreRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(platform::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\MOTTLER\\Screensaver", 0, nullptr, 0, KEY_WRITE,
                                        nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(platform::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    platform::RegCloseKey(key);
}

const winmodel::DialogItem* ItemOf(const host::DialogRecord& record, int id) {
    for (const auto& item : record.items) {
        if (item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

using SettingsTest = SaverTest;

TEST_F(SettingsTest, TheDialogsItems) {
    EXPECT_EQ(RunScr("/c"), 0);  // no clicks: closed, as cancelled
    ASSERT_EQ(host::DialogRecords().size(), 1u);
    const host::DialogRecord& dialog = host::DialogRecords()[0];
    EXPECT_EQ(dialog.caption, "MOTTLER Screensaver");
    struct Expected {
        int id;
        const char* className;
        const char* text;
        bool checked;
    };
    const Expected expected[] = {{kScreenRadio, "BUTTON", "The screen", true},
                                 {kPictureRadio, "BUTTON", "A picture:", false},
                                 {kPicturePath, "STATIC", "(none)", false},
                                 {kChooseButton, "BUTTON", "Choose...", false},
                                 {IDOK, "BUTTON", "OK", false},
                                 {IDCANCEL, "BUTTON", "Cancel", false}};
    ASSERT_EQ(dialog.items.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(dialog.items[i].id, expected[i].id);
        EXPECT_EQ(dialog.items[i].className, expected[i].className);
        EXPECT_EQ(dialog.items[i].text, expected[i].text);
        EXPECT_EQ(dialog.items[i].checked, expected[i].checked) << i;
    }
    EXPECT_EQ(dialog.items[4].style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_FALSE(KeyExists());  // cancelled: nothing written
}

TEST_F(SettingsTest, OkWritesTheChoiceAndCancelWritesNothing) {
    const std::string picture = WriteFile("chosen.bmp", BitmapBytes(6, 4));
    host::ClickDialogItem(kChooseButton);
    host::AnswerOpenDialog(picture);
    host::ClickDialogItem(IDCANCEL);
    EXPECT_EQ(RunScr("/c"), 0);
    EXPECT_FALSE(KeyExists());

    host::ClickDialogItem(kChooseButton);
    host::AnswerOpenDialog(picture);
    host::ClickDialogItem(IDOK);
    EXPECT_EQ(RunScr("/c"), 0);
    EXPECT_EQ(Stored().source, kSourcePicture);
    EXPECT_STREQ(Stored().picture, picture.c_str());
    const host::DialogRecord& dialog = host::DialogRecords().back();
    EXPECT_EQ(ItemOf(dialog, kPicturePath)->text, picture);
    EXPECT_TRUE(ItemOf(dialog, kPictureRadio)->checked);
    EXPECT_FALSE(ItemOf(dialog, kScreenRadio)->checked);
    // The open-file dialog is the dialog's, with bitmaps first.
    ASSERT_FALSE(host::OpenDialogCalls().empty());
    EXPECT_EQ(host::OpenDialogCalls().back().filter,
              (std::vector<std::string>{"Bitmaps (*.bmp)", "*.bmp", "All files (*.*)", "*.*"}));

    // Read back by the next dialog; the screen chosen again keeps the path.
    host::ClickDialogItem(kScreenRadio);
    host::ClickDialogItem(IDOK);
    EXPECT_EQ(RunScr("/c:99999"), 1);  // a number that names no window
    EXPECT_EQ(RunScr("/c"), 0);
    EXPECT_TRUE(ItemOf(host::DialogRecords().back(), kScreenRadio)->checked);
    EXPECT_EQ(Stored().source, kSourceScreen);
    EXPECT_STREQ(Stored().picture, picture.c_str());
}

TEST_F(SettingsTest, ARefusedFileKeepsTheOldChoiceAndShowsTheMessage) {
    const std::string good = WriteFile("good.bmp", BitmapBytes(6, 4));
    const std::string eight = WriteFile("eight.bmp", BitmapBytes(6, 4, 0, 8));
    SaverSettings settings;
    settings.source = kSourcePicture;
    std::strcpy(settings.picture, good.c_str());
    ASSERT_TRUE(WriteSettings(settings));
    host::ClickDialogItem(kScreenRadio);
    host::ClickDialogItem(kChooseButton);
    host::AnswerOpenDialog(eight);
    host::ClickDialogItem(IDOK);
    EXPECT_EQ(RunScr("/c"), 0);
    ASSERT_EQ(host::MessageBoxCalls().size(), 1u);
    EXPECT_EQ(host::MessageBoxCalls()[0].text, kErrorText);
    EXPECT_EQ(host::MessageBoxCalls()[0].caption, kErrorCaption);
    EXPECT_EQ(host::MessageBoxCalls()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_STREQ(Stored().picture, good.c_str());
    EXPECT_EQ(Stored().source, kSourceScreen);  // the radio button was the user's own choice
    EXPECT_EQ(ItemOf(host::DialogRecords().back(), kPicturePath)->text, good);
}

TEST_F(SettingsTest, MalformedValuesReadAsTheDefaults) {
    const DWORD two = 2;
    StoreRaw("Source", REG_DWORD, &two, sizeof two);
    EXPECT_EQ(Stored().source, kSourceScreen);
    const char shortSource[] = "\x01";
    StoreRaw("Source", REG_BINARY, shortSource, 1);
    EXPECT_EQ(Stored().source, kSourceScreen);
    StoreRaw("Source", REG_SZ, "1", 2);
    EXPECT_EQ(Stored().source, kSourceScreen);
    const DWORD one = 1;
    StoreRaw("Source", REG_DWORD, &one, sizeof one);
    EXPECT_EQ(Stored().source, kSourcePicture);

    // A string without its NUL is ended where it ends; one longer than any
    // path the saver holds is none; another type is none.
    StoreRaw("Picture", REG_SZ, "C:\\p.bmp", 8);
    EXPECT_STREQ(Stored().picture, "C:\\p.bmp");
    const std::string longest(kPicturePathSize - 1, 'a');
    StoreRaw("Picture", REG_SZ, longest.data(), static_cast<DWORD>(longest.size()));
    EXPECT_EQ(std::string(Stored().picture), longest);
    const std::string tooLong(5000, 'b');
    StoreRaw("Picture", REG_SZ, tooLong.c_str(), static_cast<DWORD>(tooLong.size() + 1));
    EXPECT_STREQ(Stored().picture, "");
    StoreRaw("Picture", REG_BINARY, "x.bmp", 6);
    EXPECT_STREQ(Stored().picture, "");
}

// The picture chosen is what the next full-screen run dissolves; if it
// cannot be loaded, the screen.
TEST_F(SettingsTest, TheNextRunDissolvesTheChosenPicture) {
    SetScreen(0, 0, 24, 16, 1);
    const std::string picture = WriteFile("chosen.bmp", BitmapBytes(24, 16, 9));
    host::ClickDialogItem(kChooseButton);
    host::AnswerOpenDialog(picture);
    host::ClickDialogItem(IDOK);
    ASSERT_EQ(RunScr("/c"), 0);

    host::ScheduleInput(host::InputKind::KeyPress, 0x20, 0, 10);
    EXPECT_EQ(RunScr("/s"), 0);
    HWND window = LastWindowOf(kFullScreenClass);
    EXPECT_EQ(ShownPixel(window, 0, 0), TestPixel(0, 0, 9));
    EXPECT_EQ(ShownPixel(window, 23, 15), TestPixel(23, 15, 9));

    // A new process, the same user's registry.
    const SaverSettings kept = Stored();
    host::ResetWindowing();
    ASSERT_TRUE(WriteSettings(kept));
    SetScreen(0, 0, 24, 16, 1);
    std::remove(picture.c_str());
    host::ScheduleInput(host::InputKind::KeyPress, 0x20, 0, 10);
    EXPECT_EQ(RunScr("/s"), 0);
    window = LastWindowOf(kFullScreenClass);
    EXPECT_EQ(ShownPixel(window, 0, 0), TestPixel(0, 0, 1));
    EXPECT_EQ(ShownPixel(window, 23, 15), TestPixel(23, 15, 1));
}

TEST_F(SettingsTest, TheTemplatesItemsStartOnFourByteBoundaries) {
    const std::vector<DWORD> words = BuildSettingsTemplate();
    const auto* dialog = reinterpret_cast<const DLGTEMPLATE*>(words.data());
    EXPECT_EQ(dialog->cdit, 6);
    EXPECT_NE(dialog->style & WS_POPUP, 0u);
    // Each item's id where the walk over the arrays puts it.
    const auto* bytes = reinterpret_cast<const unsigned char*>(words.data());
    std::size_t at = sizeof(DLGTEMPLATE) + 4;  // no menu, the dialog class
    while (bytes[at] != 0 || bytes[at + 1] != 0) {
        at += 2;
    }
    at += 2;
    const int ids[] = {kScreenRadio, kPictureRadio, kPicturePath, kChooseButton, IDOK, IDCANCEL};
    for (int id : ids) {
        at = (at + 3) / 4 * 4;
        DLGITEMTEMPLATE item;
        std::memcpy(&item, bytes + at, sizeof item);
        EXPECT_EQ(item.id, id);
        EXPECT_NE(item.style & WS_CHILD, 0u);
        at += sizeof item + 4;  // the class as an ordinal
        while (bytes[at] != 0 || bytes[at + 1] != 0) {
            at += 2;
        }
        at += 4;  // the title's end, no creation data
    }
    EXPECT_LE(at, words.size() * 4);
}

}  // namespace
