//===- tests/ui/ui_test_support.cpp - Helpers for the window tests ---------===//

#include "ui_test_support.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

ModalAnswerer::ModalAnswerer(std::function<bool(QWidget *)> onModal) : onModal(std::move(onModal)) {
  timer.setInterval(10);
  connect(&timer, &QTimer::timeout, this, &ModalAnswerer::Poll);
  timer.start();
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::Poll() {
  QWidget *modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible())
    return;
  if (onModal && onModal(modal)) {
    others << QString::fromLatin1(modal->metaObject()->className());
    return;
  }
  if (auto *box = qobject_cast<QMessageBox *>(modal)) {
    messages << box->text();
    captions << box->windowTitle();
    QAbstractButton *ok = box->button(QMessageBox::Ok);
    if (ok)
      ok->click();
    else
      box->reject();
  }
}

UrlRecorder::UrlRecorder(const QStringList &schemes) : schemes(schemes) {
  for (const QString &scheme : schemes)
    QDesktopServices::setUrlHandler(scheme, this, "Open");
}

UrlRecorder::~UrlRecorder() {
  for (const QString &scheme : schemes)
    QDesktopServices::unsetUrlHandler(scheme);
}

void UrlRecorder::Open(const QUrl &url) { opened << url; }

void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

void PrintTo(const QStringList &texts, std::ostream *out) {
  *out << '{';
  for (qsizetype i = 0; i < texts.size(); ++i) {
    if (i > 0)
      *out << ", ";
    PrintTo(texts[i], out);
  }
  *out << '}';
}
