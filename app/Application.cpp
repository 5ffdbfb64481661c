#include "app/Application.h"

#include "app/Unit3.h"
#include "app/Unit4.h"
#include "app/Unit7.h"
#include "app/add.h"
#include "app/agenda.h"
#include "maildialog/Unit6.h"

std::unique_ptr<TForm1> CreateApplicationWindows(PlatformServices& platform) {
    auto form1 = std::make_unique<TForm1>(platform);
    auto* form2 = new TForm2(form1.get(), platform);
    auto* form3 = new Tform3(form1.get(), platform);
    auto* form4 = new TForm4(form1.get(), platform);
    auto* form6 = new TForm6(form1.get(), platform);
    auto* form7 = new TForm7(form1.get());
    form1->attachDialogs(form2, form3, form4, form6, form7);
    return form1;
}
