#include "Unit4.h"

#include "Languages.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace zt40 {

namespace {
constexpr int OuterLeft = 360;
constexpr int OuterTop = 175;
constexpr int OuterWidth = 424;
constexpr int OuterHeight = 256;
} // namespace

TselectLanguage::TselectLanguage(QWidget* parent) : QDialog(parent) {
    setObjectName("selectLanguage");
    setWindowTitle("Language/Sprache/Langue");
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    setFont(font);
    move(OuterLeft, OuterTop);
    resize(OuterWidth, OuterHeight);

    RadioGroup1 = new QGroupBox(this);
    RadioGroup1->setObjectName("RadioGroup1");
    RadioGroup1->setGeometry(104, 32, 185, 105);
    group_ = new QButtonGroup(this);
    for (int i = 0; i < LanguageCount; ++i) {
        auto* item = new QRadioButton(Languages[static_cast<std::size_t>(i)].name, RadioGroup1);
        item->setObjectName(QString("RadioItem%1").arg(i));
        item->setGeometry(8, 10 + i * 30, 169, 22);
        group_->addButton(item, i);
        RadioItems[static_cast<std::size_t>(i)] = item;
    }

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(168, 168, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] {
        Button1Click();
        done(ResultOk);
    });
}

void TselectLanguage::showEvent(QShowEvent* event) {
    // A window restored from the task bar is shown again by the system: keep the choice made.
    if (!event->spontaneous()) {
        FormShow();
        if (!placed_) {
            // The outer size includes the frame, known only once the window is up.
            placed_ = true;
            const QSize frame = frameGeometry().size() - geometry().size();
            resize(OuterWidth - frame.width(), OuterHeight - frame.height());
            move(OuterLeft, OuterTop);
        }
    }
    QDialog::showEvent(event);
}

void TselectLanguage::reject() {
    done(ResultCancel);
}

int TselectLanguage::ItemIndex() const {
    return group_->checkedId();
}

void TselectLanguage::FormShow() {
    if (ActiveLanguage >= 0 && ActiveLanguage < static_cast<int>(RadioItems.size())) {
        RadioItems[static_cast<std::size_t>(ActiveLanguage)]->setChecked(true);
    } else {
        group_->setExclusive(false);
        for (auto* item : RadioItems) {
            item->setChecked(false);
        }
        group_->setExclusive(true);
    }
}

void TselectLanguage::Button1Click() {
    const int index = ItemIndex();
    // With nothing selected there is no language to take; the choice stays as it was.
    if (index >= 0) {
        ActiveLanguage = index;
    }
}

} // namespace zt40
