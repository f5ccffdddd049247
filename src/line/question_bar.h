#pragma once

#include <QFrame>
#include <QString>

#include <deque>
#include <functional>

class QLabel;
class QPushButton;

namespace posflash {

// A yes/no question inside the window, beside the label box: no dialog takes the focus, so a
// scanner's keys and its Enter stay scans, and a question is answered only by a click (or a
// touch) on Yes or No, never by Enter. Questions asked while one is open wait their turn.
class QuestionBar : public QFrame {
    Q_OBJECT
public:
    explicit QuestionBar(QWidget* parent);

    // then runs once, with the answer, after the questions asked before it.
    void ask(const QString& question, std::function<void(bool yes)> then);
    bool isOpen() const { return !waiting_.empty(); }
    const QString& question() const;
    // Every question goes unanswered: their askers are gone (a window that leaves).
    void dropAll();

private:
    void answer(bool yes);
    void showFirst();

    struct Question {
        QString text;
        std::function<void(bool)> then;
    };
    std::deque<Question> waiting_;
    QLabel* text_;
    QPushButton* yes_;
    QPushButton* no_;
};

} // namespace posflash
