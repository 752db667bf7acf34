#pragma once
// Errors of the database layer, with a stable number and a readable description, and the
// three text forms in which windows report a failure to the user.
#include <QString>
#include <exception>
#include <string>

namespace qh {

// Stable error numbers. They follow the numbering clinics know from the earlier desktop
// database engine, so an error told over the telephone means the same thing.
namespace err {
inline constexpr int General = 3000;          // any other engine failure
inline constexpr int CannotOpen = 3044;       // file or folder cannot be opened or created
inline constexpr int FileMissing = 3024;      // the database file does not exist
inline constexpr int NotADatabase = 3343;     // wrong key or not a clinic database
inline constexpr int Duplicate = 3022;        // duplicate value in a unique index
inline constexpr int NullInIndex = 3058;      // Null in a field of a required index
inline constexpr int ZeroLength = 3315;       // zero-length text
inline constexpr int TooLong = 3163;          // text longer than its field
inline constexpr int OutOfRange = 3349;       // number outside its field's range
inline constexpr int WrongType = 3464;        // value of the wrong type for the field
inline constexpr int Locked = 3260;           // file locked by another program
inline constexpr int DiskIo = 3043;           // disk read or write failure
inline constexpr int DiskFull = 3035;         // no space left
inline constexpr int ReadOnly = 3027;         // file is read-only
inline constexpr int Misuse = 3001;           // a statement used against its rules
inline constexpr int NulCharacter = 3421;     // a text holds a NUL character, which cannot be stored
inline constexpr int LoneSurrogate = 3422;    // a text holds half of a UTF-16 surrogate pair, which cannot be stored
inline constexpr int CommitUnknown = 3911;    // the server link broke during a commit and whether it was
                                              // stored cannot be found out: check before entering it again
inline constexpr int Overflow = 6;            // value too large for a money field
inline constexpr int FileIo = 75;             // a file of the user's could not be read or written
} // namespace err

class DbError : public std::exception {
public:
    DbError(int number, QString description, int engineCode = 0);
    int number() const { return m_number; }
    const QString &description() const { return m_description; }
    int engineCode() const { return m_engineCode; }
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_description;
    int m_engineCode;
    std::string m_what;
};

// The three report forms.
QString shortReport(const DbError &e);    // the description alone
QString numberedReport(const DbError &e); // "错误号码：n\r\n错误内容：description"
QString plainReport(const DbError &e);    // "n\r\ndescription"

} // namespace qh
