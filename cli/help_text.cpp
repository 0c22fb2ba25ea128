// --help, --version, the manual page and the bash completion, all made from the option table.
#include "command_line.h"
#include "option_table.h"

namespace chromaset {

namespace {

using namespace options;

QString OptionLabel(const OptionEntry& entry) {
  QString label;
  if (entry.shortName != nullptr) label = Dashed(QLatin1String(entry.shortName)) + ", ";
  label += Dashed(QLatin1String(entry.name));
  if (entry.valueName != nullptr) label += QLatin1Char(' ') + QLatin1String(entry.valueName);
  return label;
}

// Words of text on lines of at most width characters, each line after the first indented.
QString Wrap(const QString& text, int width, int indent) {
  QString out;
  int column = 0;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    if (column > 0 && column + 1 + word.size() > width) {
      out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
      column = 0;
    } else if (column > 0) {
      out += QLatin1Char(' ');
      ++column;
    }
    out += word;
    column += static_cast<int>(word.size());
  }
  return out;
}

QString RoffText(QString text) {
  text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
  text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
  return text;
}

}  // namespace

QString HelpText() {
  QString text;
  for (const char* synopsis : kSynopsis) {
    text += QLatin1String(text.isEmpty() ? "Usage: " : "       ");
    // A long form goes on under its first option ("Usage: chromaset " is 17 wide), within 100
    // columns, broken only between its [option] groups.
    QString line = QStringLiteral("chromaset %1").arg(QLatin1String(synopsis)).trimmed();
    line.replace(QLatin1Char(' '), QChar::Nbsp)
        .replace(QStringLiteral("\u00a0["), QStringLiteral(" ["));
    text += Wrap(line, 100 - 17, 17).replace(QChar::Nbsp, QLatin1Char(' ')) + '\n';
  }
  text += QLatin1Char('\n') + Wrap(QLatin1String(kDescription), 100, 0) + QStringLiteral("\n\n");
  constexpr int kLabelWidth = 26;
  for (const OptionEntry& entry : kOptions) {
    const QString label = QStringLiteral("  ") + OptionLabel(entry);
    text += label.leftJustified(kLabelWidth) + QLatin1Char(' ');
    text += Wrap(QLatin1String(entry.description), 100 - kLabelWidth - 1, kLabelWidth + 1);
    text += QLatin1Char('\n');
  }
  text += QStringLiteral("\nExit status:\n");
  for (const ExitStatus& exit : kExitStatuses) {
    text += QStringLiteral("  %1  ").arg(exit.status) + Wrap(QLatin1String(exit.meaning), 95, 5) +
            QLatin1Char('\n');
  }
  text += QStringLiteral("\nExamples:\n");
  for (const char* example : kExamples)
    text += QStringLiteral("  %1\n").arg(QLatin1String(example));
  return text;
}

QString VersionText(const QString& version) {
  return QStringLiteral("chromaset %1\n").arg(version);
}

QString ManPage(const QString& version) {
  QString page =
      QStringLiteral(".TH CHROMASET 1 \"\" \"Chromaset %1\" \"User Commands\"\n").arg(version);
  page += QStringLiteral(".SH NAME\nchromaset \\- Art\\-Net colour controller for RGBW lights\n");
  page += QStringLiteral(".SH SYNOPSIS\n");
  for (const char* synopsis : kSynopsis) {
    page += QStringLiteral(".B chromaset\n%1\n.br\n").arg(RoffText(QLatin1String(synopsis)));
  }
  page += QStringLiteral(".SH DESCRIPTION\n%1\n.SH OPTIONS\n")
              .arg(RoffText(QLatin1String(kDescription)));
  for (const OptionEntry& entry : kOptions) {
    page += QStringLiteral(".TP\n\\fB%1\\fR\n%2\n")
                .arg(RoffText(OptionLabel(entry)), RoffText(QLatin1String(entry.description)));
  }
  page += QStringLiteral(".SH \"EXIT STATUS\"\n");
  for (const ExitStatus& exit : kExitStatuses) {
    page +=
        QStringLiteral(".TP\n%1\n%2\n").arg(exit.status).arg(RoffText(QLatin1String(exit.meaning)));
  }
  page += QStringLiteral(".SH EXAMPLES\n.nf\n");
  for (const char* example : kExamples)
    page += RoffText(QLatin1String(example)) + QLatin1Char('\n');
  page += QStringLiteral(".fi\n");
  return page;
}

QString BashCompletion() {
  QStringList words;
  for (const OptionEntry& entry : kOptions) words << Dashed(QLatin1String(entry.name));
  return QStringLiteral(
             "# bash completion for chromaset\n"
             "_chromaset() {\n"
             "  local cur=${COMP_WORDS[COMP_CWORD]}\n"
             "  COMPREPLY=($(compgen -W '%1' -- \"$cur\"))\n"
             "}\n"
             "complete -F _chromaset chromaset\n")
      .arg(words.join(QLatin1Char(' ')));
}

}  // namespace chromaset
