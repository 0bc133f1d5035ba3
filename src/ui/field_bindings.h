#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QString>
#include <string>
#include <vector>

// Keeps a dialog's widgets and the texts the commands read in step. What the
// user types goes to the texts at once, so a command run from a button sees
// the field as it is; show() puts texts that a command wrote back into the
// widgets.
template <typename Texts>
class FieldBindings {
 public:
  explicit FieldBindings(Texts& texts) : m_texts(texts) {}

  void bind(QLineEdit& edit, std::string Texts::*text) {
    Texts& texts = m_texts;
    QObject::connect(&edit, &QLineEdit::textChanged, &edit,
                     [&texts, text](const QString& typed) { texts.*text = typed.toStdString(); });
    m_edits.push_back({&edit, text});
  }

  void bind(QCheckBox& check, bool Texts::*flag) {
    Texts& texts = m_texts;
    QObject::connect(&check, &QCheckBox::toggled, &check,
                     [&texts, flag](bool on) { texts.*flag = on; });
    m_checks.push_back({&check, flag});
  }

  void show() const {
    for (const EditBinding& binding : m_edits) {
      const QString wanted = QString::fromStdString(m_texts.*binding.text);
      // Rewriting an unchanged field would move the caret of a user typing in it.
      if (binding.edit->text() == wanted) continue;
      binding.edit->setText(wanted);
      // Long numbers are read from their leading digits.
      binding.edit->setCursorPosition(0);
    }
    for (const CheckBinding& binding : m_checks) {
      binding.check->setChecked(m_texts.*binding.flag);
    }
  }

 private:
  struct EditBinding {
    QLineEdit* edit;
    std::string Texts::*text;
  };
  struct CheckBinding {
    QCheckBox* check;
    bool Texts::*flag;
  };

  Texts& m_texts;
  std::vector<EditBinding> m_edits;
  std::vector<CheckBinding> m_checks;
};
