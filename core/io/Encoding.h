// Text encodings between UTF-16 and bytes: UTF-8, UTF-16 little- and big-endian, and the system's
// ANSI code pages. Encoders and decoders keep what a chunk boundary splits (a surrogate pair, a
// multi-byte sequence) for the next chunk.
#pragma once

#include "core/Object.h"
#include "core/String.h"

#include <cstdint>

namespace Core::IO
{

class Encoder
{
public:
    virtual ~Encoder() = default;
    // Encodes count units; returns the bytes written. With flush false, a high surrogate at the end
    // is kept until the next call. bytes must hold GetMaxByteCount(count) bytes.
    virtual int GetBytes(const wchar_t* chars, int count, uint8_t* bytes, bool flush) = 0;
};

class Decoder
{
public:
    virtual ~Decoder() = default;
    // Decodes count bytes; returns the units written. An incomplete sequence at the end is kept
    // for the next call unless flush is set. chars must hold GetMaxCharCount(count) units.
    virtual int GetChars(const uint8_t* bytes, int count, wchar_t* chars, bool flush) = 0;
};

class Encoding : public Object
{
public:
    // The longest byte (or unit) output for count inputs, including anything kept from earlier calls.
    virtual int GetMaxByteCount(int charCount) const = 0;
    virtual int GetMaxCharCount(int byteCount) const = 0;
    // The byte-order mark written before the first bytes; returns its length (0 to 3).
    virtual int GetPreamble(uint8_t* bytes) const = 0;
    virtual Encoder* CreateEncoder() const = 0; // caller owns
    virtual Decoder* CreateDecoder() const = 0; // caller owns
    virtual int GetCodePage() const = 0;

    // Bytes needed for count units, counted without writing them.
    int GetByteCount(const wchar_t* chars, int count) const;

    // Shared instances; never deleted.
    static const Encoding* UTF8(); // without byte-order mark, not throwing: the default everywhere
    static const Encoding* UTF16LittleEndian();
    static const Encoding* UTF16BigEndian();
    // The system default chosen by GetACP: 1200 and 1201 UTF-16 with mark, 65001 UTF-8, else that code page.
    static const Encoding* GetDefault();
    // The encoding a document names: an IANA name or alias of a code page Windows converts ("UTF-8", "ISO-8859-1",
    // "Shift_JIS", "EUC-JP", "UTF-16", ...; any case), or null for any other name and for a code page this system
    // cannot convert.
    static const Encoding* GetEncoding(const String& name);
};

class UTF8Encoding : public Encoding
{
public:
    explicit UTF8Encoding(bool emitByteOrderMark = false, bool throwOnInvalid = false);

    int GetMaxByteCount(int charCount) const override;
    int GetMaxCharCount(int byteCount) const override;
    int GetPreamble(uint8_t* bytes) const override;
    Encoder* CreateEncoder() const override;
    Decoder* CreateDecoder() const override;
    int GetCodePage() const override { return 65001; }

private:
    bool m_emitByteOrderMark;
    bool m_throwOnInvalid;
};

class UnicodeEncoding : public Encoding
{
public:
    UnicodeEncoding(bool bigEndian, bool emitByteOrderMark);

    int GetMaxByteCount(int charCount) const override;
    int GetMaxCharCount(int byteCount) const override;
    int GetPreamble(uint8_t* bytes) const override;
    Encoder* CreateEncoder() const override;
    Decoder* CreateDecoder() const override;
    int GetCodePage() const override { return m_bigEndian ? 1201 : 1200; }

private:
    bool m_bigEndian;
    bool m_emitByteOrderMark;
};

// A Windows code page, through MultiByteToWideChar and WideCharToMultiByte. The decoder keeps a character that a
// chunk boundary splits (the lead byte of a two-byte pair, an unfinished GB18030 or UTF-7 sequence) for the next chunk.
class CodePageEncoding : public Encoding
{
public:
    explicit CodePageEncoding(unsigned int codePage);

    int GetMaxByteCount(int charCount) const override;
    int GetMaxCharCount(int byteCount) const override;
    int GetPreamble(uint8_t*) const override { return 0; }
    Encoder* CreateEncoder() const override;
    Decoder* CreateDecoder() const override;
    int GetCodePage() const override { return static_cast<int>(m_codePage); }

private:
    unsigned int m_codePage;
};

// EUC-JP and ISO-2022-JP. Both are converted through the platform's EUC-JP table (code page 20932), which every
// Windows has, while its own converters for these two names are not everywhere.
class JapaneseEncoding : public Encoding
{
public:
    enum class Form
    {
        Euc,
        Iso2022 // with the escape sequences for JIS X 0208, JIS X 0212 and half-width katakana
    };

    explicit JapaneseEncoding(Form form) : m_form(form) {}

    int GetMaxByteCount(int charCount) const override;
    int GetMaxCharCount(int byteCount) const override;
    int GetPreamble(uint8_t*) const override { return 0; }
    Encoder* CreateEncoder() const override;
    Decoder* CreateDecoder() const override;
    int GetCodePage() const override { return m_form == Form::Euc ? 51932 : 50221; }

private:
    Form m_form;
};

} // namespace Core::IO
