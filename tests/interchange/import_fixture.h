#pragma once
// A project, a capture host that counts refreshes, and a folder for the
// files the tests write.

#include "interchange/import_support.h"
#include "tests/capture/fake_capture_host.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

class ImportTest : public ::testing::Test {
protected:
    TImportTarget Target() { return {Project, Host}; }

    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const std::string path = Dir.File(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // "time type text params" per event, in list order.
    std::vector<std::string> EventRows() const {
        std::vector<std::string> rows;
        for (const auto& event : Project.Events()) {
            const QStringList cells = EventToRow(*event, Project.EventTypes);
            rows.push_back(cells.join(u'|').toStdString());
        }
        return rows;
    }

    TProject Project;
    TFakeCaptureHost Host{Project};
    TTempDir Dir;
};
