#include "add_node_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace chromaset {

AddNodeDlg::AddNodeDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("m_addNodeDlg"));
  setWindowTitle(tr("Add node"));
  auto* layout = new QFormLayout(this);
  const QString label = tr("IPv4 address");
  m_address = new QLineEdit(this);
  m_address->setAccessibleName(label);
  m_address->setPlaceholderText(QStringLiteral("192.168.1.50"));
  layout->addRow(label, m_address);
  m_problem = new QLabel(this);
  m_problem->setWordWrap(true);
  m_problem->hide();
  layout->addRow(m_problem);
  m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addRow(m_buttons);
  connect(m_buttons, &QDialogButtonBox::accepted, this, &AddNodeDlg::TryAdd);
  connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void AddNodeDlg::ShowFull(const QString& reason) {
  m_problem->setText(reason);
  m_problem->show();
  m_address->setEnabled(false);
  m_buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
}

void AddNodeDlg::TryAdd() {
  const QString reason = m_add ? m_add(m_address->text()) : tr("Nothing can be added here.");
  if (reason.isEmpty()) {
    accept();
    return;
  }
  m_problem->setText(reason);
  m_problem->show();
  m_address->selectAll();
  m_address->setFocus();
}

}  // namespace chromaset
