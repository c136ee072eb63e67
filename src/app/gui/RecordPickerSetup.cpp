// The window's record picker wDSelect1, made as a stored form is loaded: bare first, then
// the stored settings. Nothing else on the window uses it.
#include "MainWindow.h"
#include "components/wDSelect.h"

namespace gui {

void Tfm_ADO_Schema::createRecordPicker()
{
    using components::TwDSelect;
    wDSelect1 = new TwDSelect(this, TwDSelect::Creation::Loading);
    wDSelect1->setObjectName(QStringLiteral("wDSelect1"));
    wDSelect1->setCharCase(components::ecNormal);
    wDSelect1->setHelpContext(0);
    wDSelect1->setIsPhone(false);
    wDSelect1->setLocateOptions(data::loPartialKey);
    wDSelect1->setPhoneFieldName(QStringLiteral("phonecode"));
    wDSelect1->Loaded();
}

} // namespace gui
