#pragma once
// A main window pointed at one demo service, in a folder of its own, with message boxes
// recorded instead of shown.
#include "demo_service_fixture.h"
#include "gui/dialogs.h"
#include "gui/form1.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace e2e {

struct ServiceWindow {
    explicit ServiceWindow(const DemoService& service)
    {
        ui::dialogHooks().message = [this](const QString& text) { messages << text; };
        Form1Options options;
        options.hosts.pointAllAt(service.host());
        options.programFolder = dir.path().toStdString() + "/";
        form = std::make_unique<TForm1>(options);
        form->show();
    }
    ~ServiceWindow() { ui::dialogHooks() = {}; }
    ServiceWindow(const ServiceWindow&) = delete;
    ServiceWindow& operator=(const ServiceWindow&) = delete;

    int rows() const { return form->searchPanel()->ListView1->rowCount(); }

    QTemporaryDir dir;
    QStringList messages;
    std::unique_ptr<TForm1> form;
};

} // namespace e2e
