#pragma once

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "Fakes.h"
#include "mainwindow/Form1Operations.h"

namespace dirtally::test {

// The main window's operations over bare controls and scripted services.
struct OperationsFixture {
    explicit OperationsFixture(FakeServices& fakes) : services(fakes.services()) {
        controls.form = &form;
        controls.label1 = new QLabel(&form);
        controls.label2 = new QLabel(&form);
        controls.label4 = new QLabel(&form);
        controls.label10 = new QLabel(&form);
        controls.command1 = new QPushButton(QStringLiteral("&Folder"), &form);
        controls.command2 = new QPushButton(QStringLiteral("&File list"), &form);
        controls.command4 = new QPushButton(QStringLiteral("&Make list"), &form);
        controls.command6 = new QPushButton(QStringLiteral("&View list"), &form);
        controls.text2 = new QLineEdit(&form);
        controls.nosubdir = new QAction(&form);
        controls.nosubdir->setCheckable(true);
        controls.nosubdir->setChecked(true);
        controls.help = new QMenu(&form);
        operations = std::make_unique<Form1Operations>(controls, services);
    }

    QWidget form;
    Form1Controls controls;
    Services services;
    std::unique_ptr<Form1Operations> operations;
};

}  // namespace dirtally::test
