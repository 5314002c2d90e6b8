// The program's windows, each created once at start-up and reused: the main window first
// (its create handler runs before the dialogs exist), then the comment, export options,
// language and About dialogs.
#pragma once

#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"

#include <memory>

namespace zt40 {

struct Program {
    Program();
    ~Program();

    std::unique_ptr<TMainForm> MainForm;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TselectLanguage> selectLanguage;
    std::unique_ptr<TForm5> Form5;
};

} // namespace zt40
