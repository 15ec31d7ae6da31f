#pragma once

#include "platform/desktop/FolderPicker.h"
#include "platform/desktop/InstanceGuard.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/SaveDialog.h"
#include "platform/desktop/SoundPlayer.h"
#include "platform/desktop/TextEditor.h"
#include "platform/desktop/UrlOpener.h"
#include "platform/system/Clock.h"
#include "platform/system/DirectoryReader.h"
#include "platform/system/FileProbe.h"
#include "platform/system/FolderInfo.h"
#include "platform/system/ProcessInfo.h"

namespace dirtally {

// Every platform service the window uses, handed in by whoever creates it: the program's main()
// with the real ones, a test with scripted doubles.
struct Services {
    DirectoryReader& directories;
    FolderInfo& folders;
    FileProbe& files;
    FolderPicker& folderPicker;
    SaveDialog& saveDialog;
    MessageBox& messageBox;
    UrlOpener& urlOpener;
    TextEditor& textEditor;
    SoundPlayer& soundPlayer;
    ProcessInfo& process;
    Clock& clock;
    InstanceGuard& instance;
};

}  // namespace dirtally
