#include "line/question_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <utility>

namespace posflash {

QuestionBar::QuestionBar(QWidget* parent) : QFrame(parent) {
    setObjectName("QuestionBar");
    setStyleSheet("#QuestionBar { background: #fff3cd; border: 2px solid #b7791f; "
                  "border-radius: 8px; } #QuestionBar QLabel { color: #3d2c00; }");
    auto* row = new QHBoxLayout(this);
    text_ = new QLabel(this);
    text_->setObjectName("lblQuestion");
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont f = text_->font();
    f.setPixelSize(18);
    text_->setFont(f);
    row->addWidget(text_, 1);
    const auto button = [this, &row, &f](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAccessibleName(caption);
        b->setFont(f);
        b->setMinimumHeight(40);
        // The label box keeps the keyboard: Enter is a scan's, never an answer.
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    yes_ = button(tr("Yes"), "btnQuestionYes");
    no_ = button(tr("No"), "btnQuestionNo");
    connect(yes_, &QPushButton::clicked, this, [this] { answer(true); });
    connect(no_, &QPushButton::clicked, this, [this] { answer(false); });
    hide();
}

void QuestionBar::ask(const QString& question, std::function<void(bool)> then) {
    waiting_.push_back({question, std::move(then)});
    if (waiting_.size() == 1)
        showFirst();
}

const QString& QuestionBar::question() const {
    static const QString none;
    return waiting_.empty() ? none : waiting_.front().text;
}

void QuestionBar::dropAll() {
    waiting_.clear();
    hide();
}

void QuestionBar::answer(bool yes) {
    if (waiting_.empty())
        return;
    Question answered = std::move(waiting_.front());
    waiting_.pop_front();
    if (waiting_.empty())
        hide();
    else
        showFirst();
    answered.then(yes);
}

void QuestionBar::showFirst() {
    text_->setText(waiting_.front().text);
    text_->setToolTip(waiting_.front().text);
    text_->setAccessibleName(waiting_.front().text);
    show();
}

} // namespace posflash
