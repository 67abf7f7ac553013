#pragma once
// Colours a control file as the reader takes it: the comment lines before the
// analysis header and after an "end" header, the section headers, the table
// headings, the keywords of the option, parameter and file sentences, and the
// comment lines that begin with "\" or "/".
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace velk::gui {

class ControlHighlighter : public QSyntaxHighlighter {
  Q_OBJECT
 public:
  explicit ControlHighlighter(QTextDocument* document);

  // Block states: where a line stands in the file.
  enum State { kBeforeHeader = 0, kSentences = 1, kTables = 2, kIgnored = 3 };

 protected:
  void highlightBlock(const QString& text) override;

 private:
  QTextCharFormat comment_, section_, heading_, keyword_, number_;
};

}  // namespace velk::gui
