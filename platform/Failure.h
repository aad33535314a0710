#pragma once

#include <QString>
#include <stdexcept>

// A run-time failure with a description meant for the user (the error report
// shows it as it stands). Every failure the program raises itself is one of these.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString &description)
        : std::runtime_error(description.toStdString())
        , m_description(description)
    {
    }

    const QString &description() const noexcept { return m_description; }

private:
    QString m_description;
};

// The description of any exception: our own text for a Failure, what() otherwise.
inline QString describeFailure(const std::exception &e)
{
    if (auto *failure = dynamic_cast<const Failure *>(&e))
        return failure->description();
    return QString::fromLocal8Bit(e.what());
}
