// CGI response headers (written on the output channel of comcgi.h) and
// tests of the requesting browser and the server.
// Header values given by callers never carry CR or LF into the response:
// those bytes are dropped.
#ifndef COMCGIRESP_H
#define COMCGIRESP_H

#include <cstddef>

#if defined(__GNUC__)
#define COMCGIRESP_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define COMCGIRESP_PRINTF(f, a)
#endif

// ---- user agent (HTTP_USER_AGENT; 0 when unset) -------------------------
int comUaIsUpBrowser();
int comUaIsWillcom();
int comUaIsSoftBank();
int comUaIsDoCoMo();
int comUaIsChrome();
int comUaIsOldFirefox();
int comUaIsFirefox();
int comUaIsMozilla4();
int comUaIsOpera();
int comUaIsNetscape();
int comUaIsNetscape6or7();
int comUaIsMsie();
int comUaIsMacMozilla();
int comUaIsMacPpcMsie();
int comUaIsMsie3();
int comUaIsSafari();
int comUaIsMacSafari5();
int comUaIsMacMsie();
// "Trident" or "Edge", or an "MSIE x;" version of at least `version`.
int comUaMsieAtLeast(double version);
int comUaIsMsie8();
int comUaIsMsie55();

// ---- server -------------------------------------------------------------------
// SERVER_SOFTWARE holds "IIS" and its major version is at least `version`.
int comCgiIsIis(double version);
int comCgiIsIis7();
int comCgiIsIis6();
// Copies HTTP_X_UP_SUBNO into out (outSize bytes). 0; -1 when unset.
int comCgiSubscriberId(char* out, size_t outSize);

// ---- header writers ------------------------------------------------------------
int comCgiContentType(const char* type);
int comCgiContentTypeText(const char* charset);
// text/html header and the blank line; no-cache lines first for very old
// browsers. The result of comCgiPrintf.
int comCgiContentTypeHtml(const char* charset);
int comCgiNoCache();
int comCgiDownloadHeaders(const char* fileName);
int comCgiSetCookieFixed(const char* cookie);
// minutes 0: fixed far expiry.
int comCgiSetCookie(const char* name, const char* value, int minutes);
// Now plus minutes in UTC, cookie form (out: 32 bytes suffice). Returns out.
char* comCgiCookieDate(int minutes, char* out);
int comCgiIsSvg(const char* type);
int comCgiAllowOrigin(const char* origin);
// http(s)://host[:port]/script. 0; -1 host or script unset; -2 too small.
int comCgiSelfUrl(char* out, size_t outSize);
// 302 to the formatted location. 0; -1 for a location with CR or LF.
int comCgiRedirect(const char* fmt, ...) COMCGIRESP_PRINTF(1, 2);
// "Set-Cookie: name=value; path=...; ". The result of comCgiPrintf.
int comCgiSetCookiePath(const char* name, const char* value, const char* path);

// ---- download headers ------------------------------------------------------------
// Content type and a disposition line (dispFormat holds one "%s" for the
// file name), the name shortened to 150 bytes and encoded for the
// browser; ends the header block. 0.
int comCgiAttachmentHeader(const char* type, const char* fileName, const char* dispFormat,
                           int sjis, const char* charset);
int comCgiInline(const char* type, const char* fileName, int sjis, const char* charset);
int comCgiAttachment(const char* type, const char* fileName, int sjis, const char* charset);
// Shortens the name in place to about maxBytes, keeping its extension
// behind a '~', then cleans it.
void comCgiCutFileName(int maxBytes, char* name);
// Cleans invalid UTF-8 and line ends from the name, in place.
void comCgiCleanFileName(char* name);

// Disposition line writers (nothing for a NULL or empty name). 0.
int comCgiFileNameSjis(const char* dispFormat, const char* name);
// Shift_JIS copy of the name in *out (malloc'd; the caller frees it).
// 0; -1 when memory runs out (*out is then the input itself).
int comCgiFileNameSjisAlloc(const char* name, char** out);
int comCgiFileNamePercent(const char* dispFormat, const char* name);
int comCgiFileNameMime(const char* dispFormat, const char* name);
int comCgiFileNamePlain(const char* dispFormat, const char* name);

// Sends a stored file as the response, honouring HTTP_RANGE.
// 0; -1 file not opened or seek failed; -2 read or write failed.
int comCgiDownloadFile(const char* type, const char* fileName, const char* path,
                       int inlineFlag, int attachFlag, int sjis, const char* charset);

#endif
