#include "Program.h"

#include "Application.h"
#include "Languages.h"

namespace zt40 {

Program::Program() {
    const auto text = [](int slot) { return uiText(slot); };
    MainForm = std::make_unique<TMainForm>();
    runHandler([this] { MainForm->FormCreate(); });
    Form2 = std::make_unique<TForm2>(text);
    Form3 = std::make_unique<TForm3>(text);
    selectLanguage = std::make_unique<TselectLanguage>();
    Form5 = std::make_unique<TForm5>();
    MainForm->setDialogs(Form2.get(), Form3.get(), selectLanguage.get(), Form5.get());
}

// The dialogs go before the main window, which closes the instrument link as it goes.
Program::~Program() {
    Form5.reset();
    selectLanguage.reset();
    Form3.reset();
    Form2.reset();
    MainForm.reset();
}

} // namespace zt40
