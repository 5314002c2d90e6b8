// The Limits window: no limits, a lower and an upper limit (either may stay empty), or a
// nominal value with a tolerance; and how many consecutive readings form a sample. Numbers are
// typed in the user's decimal notation and checked when OK is clicked: an entry that is no
// number or limits that make no sense are refused with a message, and the window stays open.
#pragma once

#include "JudgementSettings.h"

#include <QDialog>

class QButtonGroup;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace zt40 {

class LimitsWindow : public QDialog {
    Q_OBJECT
public:
    explicit LimitsWindow(QWidget* parent = nullptr);

    // Fills the window; numbers with `separator`.
    void setSettings(const JudgementSettings& settings, char separator);
    // What OK accepted.
    const JudgementSettings& settings() const { return settings_; }

    void accept() override;

    QRadioButton* offChoice = nullptr;
    QRadioButton* boundsChoice = nullptr;
    QRadioButton* nominalChoice = nullptr;
    QLineEdit* lowerEdit = nullptr;
    QLineEdit* upperEdit = nullptr;
    QLineEdit* nominalEdit = nullptr;
    QLineEdit* toleranceEdit = nullptr;
    QSpinBox* sampleSizeBox = nullptr;
    QDialogButtonBox* buttons = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyLanguage();
    void kindChosen();
    LimitKind kind() const;
    // The number in a field; nothing for an empty field. A field that holds no number is
    // refused with a message and false.
    bool readField(QLineEdit* edit, QLabel* label, std::optional<double>& value);
    void refuse(const QString& message, QLineEdit* focus);

    QButtonGroup* kinds_ = nullptr;
    QLabel* lowerLabel_ = nullptr;
    QLabel* upperLabel_ = nullptr;
    QLabel* nominalLabel_ = nullptr;
    QLabel* toleranceLabel_ = nullptr;
    QLabel* sampleSizeLabel_ = nullptr;
    JudgementSettings settings_;
    char separator_ = '.';
};

} // namespace zt40
