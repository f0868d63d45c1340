// The scripted input the fault-injection harness drives the editor with: its
// lines reach the real main window in the order written, also while a modal
// question waits, and as the script grows.

#include "document/ui/scripted_input.h"

#include "document/ui/main_document.h"
#include "tests/document_ui/form_main_fixture.h"
#include "tests/support/bmp_bytes.h"

#include <QMessageBox>

#include <fstream>
#include <vector>

namespace {

class ScriptedInputTest : public FormMainFixture {
protected:
    void SetUp() override {
        // The editor's own key for Inserting is none; a script reaches it
        // through a binding, as a user would.
        std::ofstream(m_dir.File("Scenemark.ini")) << "[HotKeys]\nActionEventsInserting=Ctrl+I\n";
        FormMainFixture::SetUp();
        m_document = std::make_unique<TMainDocument>(*m_form);
    }
    void TearDown() override {
        m_document.reset();
        FormMainFixture::TearDown();
    }
    void Append(const std::string& lines) { std::ofstream(m_script, std::ios::app) << lines; }
    std::vector<int32_t> EventTimes() const {
        std::vector<int32_t> times;
        for (std::size_t i = 0; i < m_form->Project().Events().Count(); ++i)
            times.push_back(m_form->Project().Events()[i]->Time);
        return times;
    }

    std::string m_script = m_dir.File("input.txt");
    std::unique_ptr<TMainDocument> m_document;
};

TEST_F(ScriptedInputTest, LinesRunInOrderAsTheScriptGrows) {
    const std::string clip = WriteBMPSequence(m_dir.File("clip"), 2);
    const std::string project = m_dir.File("p.xml");
    std::ofstream(project)
        << "<?xml version=\"1.0\"?>\n<AVEvents><EventTypes><Type><ID>0</ID><Name>Mark</Name>"
           "<Key>F2</Key></Type></EventTypes><File><Source Offset=\"100000\">"
        << clip << "</Source></File></AVEvents>\n";
    Append("open " + project + "\nkey Ctrl+I\nposition 5000\nkey F2\nno such line\nposition 7000\nkey F2\n");
    TScriptedInput input(*m_form, m_script);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_form->Project().Events().Count() == 2; }, 5000));
    // Written later, and cut in the middle of a line.
    Append("position 6000\nkey ");
    QTest::qWait(50);
    Append("F2\n\nposition x\nkey F2\n");
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_form->Project().Events().Count() == 4; }, 5000));
    // Each key records at the position set before it, none at a later one.
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{5000, 6000, 6000, 7000}));
    EXPECT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join(u'\n').toStdString();
}

TEST_F(ScriptedInputTest, KeyAnswersTheModalQuestion) {
    const std::vector<std::pair<const char*, QMessageBox::StandardButton>> cases = {{"Y", QMessageBox::Yes},
                                                                                    {"N", QMessageBox::No}};
    for (const auto& [key, answer] : cases) {
        SCOPED_TRACE(key);
        std::ofstream(m_script, std::ios::trunc) << "key " << key << "\n";
        TScriptedInput input(*m_form, m_script);
        EXPECT_EQ(QMessageBox::question(m_form.get(), QStringLiteral("t"), QStringLiteral("Recover them?"),
                                        QMessageBox::Yes | QMessageBox::No),
                  answer);
    }
}

TEST_F(ScriptedInputTest, MissingScriptIsAnError) {
    try {
        TScriptedInput input(*m_form, m_dir.File("none"));
        ADD_FAILURE() << "no exception";
    } catch (const TException& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Could not open the input script " + m_dir.File("none") + ": No such file or directory");
    }
}

} // namespace
