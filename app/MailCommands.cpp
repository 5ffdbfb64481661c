#include "app/MailCommands.h"

#include "BuildInfo.h"
#include "model/BookModel.h"
#include "maildialog/Unit6.h"
#include "maildialog/MailSettings.h"
#include "qtsupport/PlatformServices.h"
#include "model/TextCodec.h"

using namespace veldrano;

MailCommands::MailCommands(QWidget* window, PlatformServices& platform, const WindowState& state,
                           const BookModel& model, TForm6& dialog)
    : QObject(window), m_window(window), m_platform(platform), m_state(state), m_model(model),
      m_dialog(dialog) {}

void MailCommands::EnviarMailExecute() {
    auto fail = [this] {
        m_platform.showMessage(
            m_window, QStringLiteral("Error"),
            QString::fromUtf8("No se encuentra CORREO.CFG o formato de archivo no válido"),
            PlatformServices::Icon::Error);
    };
    try {
        m_dialog.SetSettings(MailSettings::Load());
    } catch (const MailSettingsShortFile& e) {
        m_dialog.SetSettings(e.partial); // what a line-by-line read had filled
        return fail();
    } catch (const std::exception&) {
        return fail();
    }
    if (m_state.IndiceElegido < 0 || m_state.IndiceElegido >= m_model.rowCount())
        return fail();
    const ContactRecord record = m_model.record(m_state.IndiceElegido);
    m_dialog.SetDestination(TextCodec::ToQString(record[FieldIndex(Field::e_mail)]));
    m_dialog.exec();
}

void MailCommands::Enviaremailautor1Click() {
    m_dialog.SetDestination(QString::fromUtf8(VELDRANO_AUTHOR_EMAIL));
    m_dialog.exec();
}
