#include "about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "app_icon.h"
#include "ids.h"
#include "ui_about.h"

namespace chromaset {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
  m_ui->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromUtf8(kAboutCaption));
  setFixedSize(size());
  m_ui->m_icon->setPixmap(AppIcon().pixmap(32, 32));
  m_ui->m_okButton->setFocus(Qt::OtherFocusReason);
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace chromaset
