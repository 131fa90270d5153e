#pragma once

#include "fakedialogs.h"
#include "recordingportio.h"
#include "tx/keyingline.h"

#include <QAction>

#include <memory>
#include <vector>

// A keying line on the recording ports with standalone, checkable Output menu items.
struct KeyingRig {
    KeyingRig() {
        const char* names[] = {"Printer1", "Printer2", "COM1",      "COM2", "COM3",   "COM4",
                               "COM5",     "COM6",     "NoComPort", "VOX1", "Normal", "Invert1"};
        for (const char* name : names) {
            auto action = std::make_unique<QAction>(QString::fromLatin1(name));
            action->setObjectName(QString::fromLatin1(name));
            action->setCheckable(true);
            items.push_back(std::move(action));
        }
        OutputMenuActions actions;
        QAction** fields[] = {&actions.Printer1, &actions.Printer2, &actions.COM1,
                              &actions.COM2,     &actions.COM3,     &actions.COM4,
                              &actions.COM5,     &actions.COM6,     &actions.NoComPort,
                              &actions.VOX1,     &actions.Normal,   &actions.Invert1};
        for (size_t i = 0; i < items.size(); ++i)
            *fields[i] = items[i].get();
        line = std::make_unique<KeyingLine>(io, dialogs, actions);
    }

    // The names of the ticked items, in menu order.
    QStringList ticked() const {
        QStringList names;
        for (const auto& item : items)
            if (item->isChecked())
                names << item->objectName();
        return names;
    }

    RecordingPortIo io;
    FakeDialogs dialogs;
    std::vector<std::unique_ptr<QAction>> items;
    std::unique_ptr<KeyingLine> line;
};
