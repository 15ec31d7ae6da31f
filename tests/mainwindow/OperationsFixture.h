#pragma once

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "Fakes.h"
#include "mainwindow/MainWindowOperations.h"

namespace dirtally::test {

// The main window's operations over bare controls and scripted services.
struct OperationsFixture {
    explicit OperationsFixture(FakeServices& fakes) : services(fakes.services()) {
        controls.window = &window;
        controls.headerPrompt = new QLabel(&window);
        controls.folderLine = new QLabel(&window);
        controls.clockLabel = new QLabel(&window);
        controls.statusLabel = new QLabel(&window);
        controls.folderButton = new QPushButton(QStringLiteral("&Folder"), &window);
        controls.fileListButton = new QPushButton(QStringLiteral("&File list"), &window);
        controls.makeListButton = new QPushButton(QStringLiteral("&Make list"), &window);
        controls.viewListButton = new QPushButton(QStringLiteral("&View list"), &window);
        controls.headerBox = new QLineEdit(&window);
        controls.noSubdirs = new QAction(&window);
        controls.noSubdirs->setCheckable(true);
        controls.noSubdirs->setChecked(true);
        controls.helpMenu = new QMenu(&window);
        operations = std::make_unique<MainWindowOperations>(controls, services);
    }

    QWidget window;
    MainWindowControls controls;
    Services services;
    std::unique_ptr<MainWindowOperations> operations;
};

}  // namespace dirtally::test
