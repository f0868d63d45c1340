#pragma once
// A shown main window with fake dialogs and a fake playback timer (playback
// advances only when the test says so), its settings in a temporary folder,
// and the backend order reset around each test.

#include "document/ui/form_main.h"
#include "media/registry/registry.h"
#include "platform/fake_mm_timer.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/support/temp_dir.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>

class FormMainFixture : public ::testing::Test {
protected:
    void SetUp() override {
        UninitialiseBackendOrder();
        auto timer = std::make_unique<TFakeMMTimer>();
        m_timer = timer.get();
        TFormMainOptions options;
        options.SettingsFileName = m_dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(m_answers);
        options.Timer = std::move(timer);
        m_form = std::make_unique<TFormMain>(std::move(options));
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void TearDown() override {
        m_form.reset();
        UninitialiseBackendOrder();
    }

    TTempDir m_dir;
    TDialogAnswers m_answers;
    TFakeMMTimer* m_timer = nullptr;
    std::unique_ptr<TFormMain> m_form;
};
