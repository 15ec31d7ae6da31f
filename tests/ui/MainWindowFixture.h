#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "Fakes.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"

namespace dirtally::test {

// The real main window over scripted services, started in a temporary folder.
struct MainWindowFixture {
    MainWindowFixture() {
        applyVersionRecord();
        fakes.process = FakeProcessInfo(pathFromText(folder.path()), "/opt/dirtally");
        fakes.directories = FakeDirectoryReader(
            {{pathFromText(folder.path()) + "/",
              {{"b", DirEntry::Kind::Directory}, {"a", DirEntry::Kind::Directory}}}});
        fakes.folders = FakeFolderInfo({{"a", FolderSize::of(1)}, {"b", FolderSize::of(2)}});
        services = std::make_unique<Services>(fakes.services());
        form = std::make_unique<MainWindow>(*services);
    }

    // Loads and shows the window, and waits until it has the keyboard.
    bool show() {
        if (!form->load()) {
            return false;
        }
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form.get());
    }

    template <typename T>
    T* find(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir folder;
    FakeServices fakes;
    std::unique_ptr<Services> services;
    std::unique_ptr<MainWindow> form;
};

}  // namespace dirtally::test
