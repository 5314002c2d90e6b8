// The journal's questions and news as message boxes in the active language.
#pragma once

#include "JournalSession.h"

namespace zt40 {

class JournalBoxes : public JournalQuestions {
public:
    bool restore(int readings, std::string_view date, std::string_view time) override;
    bool takeOverLock(const QString& lockFile, JournalLockDoubt why) override;
    void tellLocked() override;
    void tellKeptAside(JournalKeptAside what, const QString& keptAs) override;
    void tellFailure(const QString& journal, JournalFailure why, const QString& detail) override;
};

} // namespace zt40
