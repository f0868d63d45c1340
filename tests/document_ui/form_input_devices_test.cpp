#include "document/ui/form_input_devices.h"

#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

#include <vector>

namespace {

const TAVFileDeviceList FourBackends{
    {0, "Video for Windows file input and output"},
    {1, "DirectShow file input"},
    {2, "FFmpeg file input and output"},
    {3, "BMP file input and output"},
};

struct TShownItem {
    int32_t Id;
    bool IsChecked;
    bool operator==(const TShownItem&) const = default;
};

void PrintTo(const TShownItem& item, std::ostream* out) {
    *out << item.Id << (item.IsChecked ? "+" : "-");
}

class FormInputDevicesTest : public ::testing::Test {
protected:
    void SetUp() override { UninitialiseBackendOrder(); }
    void TearDown() override { UninitialiseBackendOrder(); }

    std::vector<TShownItem> Shown() const {
        std::vector<TShownItem> items;
        const QListWidget& list = *m_form.CheckListBoxDevices;
        for (int row = 0; row < list.count(); ++row)
            items.push_back(
                {TFormInputDevices::ItemDeviceId(row, list), list.item(row)->checkState() == Qt::Checked});
        return items;
    }

    void Select(int row) { m_form.CheckListBoxDevices->setCurrentRow(row); }
    void SetChecked(int row, bool checked) {
        m_form.CheckListBoxDevices->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    std::vector<int32_t> Positions() const {
        std::vector<int32_t> positions;
        for (const TAVFileDevice& device : FourBackends)
            positions.push_back(GetBackendPosition(device.Id));
        return positions;
    }

    TFormInputDevices m_form{nullptr};
};

} // namespace

TEST_F(FormInputDevicesTest, ListsUsedBackendsByPositionThenUnusedOnesUnchecked) {
    SetBackendPosition(3, 0);
    SetBackendPosition(1, -1);
    SetBackendPosition(0, 5);
    m_form.Load(FourBackends);
    EXPECT_EQ(Shown(), (std::vector<TShownItem>{{3, true}, {2, true}, {0, true}, {1, false}}));
    EXPECT_EQ(m_form.CheckListBoxDevices->item(0)->text(), QStringLiteral("BMP file input and output"));

    m_form.Load(FourBackends);
    EXPECT_EQ(m_form.CheckListBoxDevices->count(), 4) << "showing again does not add items twice";
}

TEST_F(FormInputDevicesTest, UpAndDownCarryTheCheckStateAndTheSelectionAndStopAtTheEnds) {
    m_form.Load(FourBackends);
    SetChecked(1, false);
    Select(1);
    m_form.ButtonDownClick();
    EXPECT_EQ(Shown(), (std::vector<TShownItem>{{0, true}, {2, true}, {1, false}, {3, true}}));
    EXPECT_EQ(m_form.CheckListBoxDevices->currentRow(), 2);

    Select(0);
    m_form.ButtonUpClick();
    Select(3);
    m_form.ButtonDownClick();
    EXPECT_EQ(Shown(), (std::vector<TShownItem>{{0, true}, {2, true}, {1, false}, {3, true}}));
    EXPECT_EQ(m_form.CheckListBoxDevices->currentRow(), 3);

    m_form.CheckListBoxDevices->setCurrentRow(-1);
    m_form.ButtonUpClick();
    m_form.ButtonDownClick();
    EXPECT_EQ(Shown(), (std::vector<TShownItem>{{0, true}, {2, true}, {1, false}, {3, true}}));
}

TEST_F(FormInputDevicesTest, OkGivesCheckedItemsConsecutivePositionsAndDisablesTheRest) {
    m_form.Load(FourBackends);
    Select(2);
    m_form.ButtonUp->click();
    m_form.ButtonUp->click();
    SetChecked(2, false); // DirectShow, now third
    m_form.ButtonOK->click();
    EXPECT_EQ(m_form.result(), QDialog::Accepted);
    EXPECT_EQ(Positions(), (std::vector<int32_t>{1, -1, 0, 2}));

    m_form.Load(FourBackends);
    EXPECT_EQ(Shown(), (std::vector<TShownItem>{{2, true}, {0, true}, {3, true}, {1, false}}));
}

TEST_F(FormInputDevicesTest, UncheckingEveryBackendDisablesThemAll) {
    m_form.Load(FourBackends);
    for (int row = 0; row < 4; ++row)
        SetChecked(row, false);
    m_form.accept();
    EXPECT_EQ(Positions(), (std::vector<int32_t>{-1, -1, -1, -1}));
}

TEST_F(FormInputDevicesTest, CancelLeavesTheOrderAlone) {
    SetBackendPosition(2, 0);
    const std::vector<int32_t> before = Positions();
    m_form.Load(FourBackends);
    Select(3);
    m_form.ButtonUpClick();
    SetChecked(0, false);
    m_form.ButtonCancel->click();
    EXPECT_EQ(m_form.result(), QDialog::Rejected);
    EXPECT_EQ(Positions(), before);
}
