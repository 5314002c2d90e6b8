// The language dialog: the same texts in every language; the item index is the language number.
#pragma once

#include "Languages.h"

#include <QDialog>

#include <array>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace zt40 {

class TselectLanguage : public QDialog {
    Q_OBJECT
public:
    explicit TselectLanguage(QWidget* parent = nullptr);

    void FormShow();     // preselects ActiveLanguage
    void Button1Click(); // stores the selected item in ActiveLanguage

    // Index of the checked item, -1 when none is.
    int ItemIndex() const;

    // Results as the dialog reports them: OK 1, the close box 2.
    static constexpr int ResultOk = 1;
    static constexpr int ResultCancel = 2;

    QGroupBox* RadioGroup1 = nullptr;
    std::array<QRadioButton*, LanguageCount> RadioItems{};
    QPushButton* Button1 = nullptr;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QButtonGroup* group_ = nullptr;
    bool placed_ = false;
};

} // namespace zt40
