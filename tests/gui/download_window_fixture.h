#pragma once
// The main window with its folder chooser, in a folder of its own, for the download panel's
// window tests. No page is ever loaded: the service hosts point at a port nobody serves.
#include "gui/dialogs.h"
#include "gui/download_list_view.h"
#include "gui/download_panel.h"
#include "gui/download_table_model.h"
#include "gui/form1.h"
#include "gui/form2.h"

#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>
#include <memory>

class DownloadWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> chooser;
    int endedWith = -1; // the exit code the close path asked for

    // Set the dialog hooks first: the window is built with them in place.
    void createWindow()
    {
        Form1Options options;
        options.hosts.pointAllAt("127.0.0.1:9");
        options.programFolder = dir.path().toStdString() + "/";
        form = std::make_unique<TForm1>(options);
        form->endProcess = [this](int code) { endedWith = code; };
        chooser = std::make_unique<TForm2>(form->downloadPanel());
        form->downloadPanel()->Form2 = chooser.get();
    }
    // The download list once it shows every change made to the queue so far (its model
    // applies them in a queued call).
    gui::DownloadListView* list()
    {
        gui::DownloadTableModel* model = form->downloadPanel()->downloadlistview->downloadModel();
        EXPECT_TRUE(QTest::qWaitFor([model] { return !model->pending(); }))
            << "the download list never showed the queue's changes";
        return form->downloadPanel()->downloadlistview;
    }
    void TearDown() override
    {
        chooser.reset();
        form.reset();
        ui::dialogHooks() = {};
    }
};
