// Form filling of NUTemplateToOutput: gives the form elements of a
// substituted block their values from the main list.
#include "nutemplate.h"

#include "comstr.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const size_t kAttrMax = 8191;   // attribute texts are taken up to this length

// First occurrence of the pl bytes at pat that starts inside [from, limit);
// null if none.
const char* findIn(const char* from, const char* limit, const char* pat, size_t pl)
{
    for (const char* p = from; p < limit && *p; ++p) {
        if (*p == pat[0] && strncmp(p, pat, pl) == 0)
            return p;
    }
    return nullptr;
}

const char* findIn(const char* from, const char* limit, const char* pat)
{
    return findIn(from, limit, pat, strlen(pat));
}

bool badHandlerArgs(char** out, int* outSize, const char* tag, int tagLen)
{
    return !out || !outSize || !tag || *outSize < 1 || tagLen < 1;
}

}  // namespace

void NUTemplateToOutput::upcaseTagNames(char* text)
{
    if (!text)
        return;
    bool inTag = false, inQuotes = false, afterEq = false;
    char* p = text;
    while (*p) {
        int cl = charLength(*p);
        if (cl > 1) {
            int n = 1;
            while (n < cl && p[n])
                ++n;
            p += n;
            continue;
        }
        char c = *p;
        if (c == ' ')
            afterEq = false;
        else if (c == '"')
            inQuotes = !inQuotes;
        else if (c == '<') {
            inTag = true;
            inQuotes = false;
            afterEq = false;
        } else if (c == '=')
            afterEq = true;
        else if (c == '>')
            inTag = false;
        if (c >= 'a' && c <= 'z' && inTag && !inQuotes && !afterEq)
            *p = static_cast<char>(c - 'a' + 'A');
        ++p;
    }
}

int NUTemplateToOutput::findAttribute(const char* tag, const char* name,
                                      const char** begin, const char** end)
{
    if (!tag || !begin || !end || !name || !*name)
        return NUTPL_BAD_ARG;
    std::string pattern(name);
    pattern += '=';
    const char* occ = strstr(tag, pattern.c_str());
    if (!occ)
        return 0;
    if (occ != tag && occ[-1] != ' ')
        return 0;
    const char* tagEnd = strchr(tag, '>');
    if (!tagEnd)
        tagEnd = tag + strlen(tag) - 1;
    if (occ > tagEnd)
        return 0;
    const char* v = occ + pattern.size();
    const char* close;
    if (*v == '"') {
        ++v;
        close = strchr(v, '"');
    } else {
        close = strchr(v, ' ');
    }
    if (!close || close > tagEnd)
        close = tagEnd;
    *begin = v;
    *end = close - 1;
    return 0;
}

char* NUTemplateToOutput::attributeText(const char* tag, const char* name, bool* found)
{
    const char* b = nullptr;
    const char* e = nullptr;
    *found = false;
    if (findAttribute(tag, name, &b, &e) == 0 && b && e)
        *found = true;
    size_t n = (*found && e >= b) ? static_cast<size_t>(e - b) + 1 : 0;
    char* text = static_cast<char*>(malloc(n + 1));
    if (!text)
        return nullptr;
    if (n)
        memcpy(text, b, n);
    text[n] = '\0';
    return text;
}

int NUTemplateToOutput::lookupMain(const char* name, const char** value)
{
    *value = nullptr;
    void* v = nullptr;
    int rc = mainList->find(name, &v);
    if (rc < 0)
        return rc;
    if (rc > 0 && v)
        *value = static_cast<const char*>(v);
    return 0;
}

int NUTemplateToOutput::getAttributeValue(const char* tag, const char* attr,
                                          const char** value)
{
    if (!tag || !value || !attr || !*attr)
        return NUTPL_BAD_ARG;
    const char* b = nullptr;
    const char* e = nullptr;
    int rc = findAttribute(tag, attr, &b, &e);
    if (rc != 0)
        return rc;
    if (!b || !e)
        return 0;
    size_t n = e >= b ? static_cast<size_t>(e - b) + 1 : 0;
    if (n > kAttrMax)
        n = kAttrMax;
    std::string key(b, n);
    const char* v = nullptr;
    rc = lookupMain(key.c_str(), &v);
    if (rc != 0)
        return rc;
    if (v)
        *value = v;
    return 0;
}

int NUTemplateToOutput::fillSelect(char** out, int* outSize, const char* tag, int tagLen)
{
    if (badHandlerArgs(out, outSize, tag, tagLen))
        return NUTPL_BAD_ARG;
    strcpy(currentSelect, defaultSelect);
    int rc = appendN(out, outSize, tag, tagLen);
    if (rc != 0)
        return rc;
    const char* v = nullptr;
    rc = getAttributeValue(tag, "name", &v);
    if (rc != 0)
        return rc;
    if (v) {
        size_t n = strnlen(v, sizeof currentSelect - 1);
        memcpy(currentSelect, v, n);
        currentSelect[n] = '\0';
    }
    return 0;
}

int NUTemplateToOutput::fillTextarea(char** out, int* outSize, const char* tag, int tagLen)
{
    if (badHandlerArgs(out, outSize, tag, tagLen))
        return NUTPL_BAD_ARG;
    int rc = appendN(out, outSize, tag, tagLen);
    if (rc != 0)
        return rc;
    const char* v = nullptr;
    rc = getAttributeValue(tag, "name", &v);
    if (rc != 0)
        return rc;
    if (!v)
        return 0;
    rc = appendN(out, outSize, "\n", 1);
    if (rc == 0)
        rc = appendN(out, outSize, v, static_cast<int>(strlen(v)));
    return rc != 0 ? rc : 1;
}

int NUTemplateToOutput::fillOption(char** out, int* outSize, const char* tag, int tagLen)
{
    if (badHandlerArgs(out, outSize, tag, tagLen))
        return NUTPL_BAD_ARG;
    static const char kSelFull[] = " selected=\"selected\"";
    static const char kSelShort[] = " selected";
    const char* limit = tag + tagLen;
    int rc = appendN(out, outSize, "<option", 7);
    if (rc != 0)
        return rc;
    const char* copy = tag + (tagLen < 7 ? tagLen : 7);

    // The option's own selected attribute, looked for inside this tag only.
    const char* own = findIn(tag, limit, kSelFull);
    size_t ownLen = sizeof kSelFull - 1;
    if (!own) {
        own = findIn(tag, limit, kSelShort);
        ownLen = sizeof kSelShort - 1;
    }

    const char* b = nullptr;
    const char* e = nullptr;
    rc = findAttribute(copy, "value", &b, &e);
    if (rc != 0)
        return rc;
    bool selected = false;
    if (b && e) {
        size_t n = e >= b ? static_cast<size_t>(e - b) + 1 : 0;
        size_t cur = strlen(currentSelect);
        selected = n == cur && memcmp(b, currentSelect, n) == 0;
    }
    if (!selected && own && comStrCaseCmp(currentSelect, defaultSelect) == 0)
        selected = true;

    if (selected && !own) {
        rc = appendN(out, outSize, kSelFull, static_cast<int>(sizeof kSelFull - 1));
        if (rc != 0)
            return rc;
        currentSelect[0] = '\0';
    } else if (!selected && own) {
        rc = appendN(out, outSize, copy, static_cast<int>(own - copy));
        if (rc != 0)
            return rc;
        copy = own + ownLen;
    }
    if (copy < limit)
        return appendN(out, outSize, copy, static_cast<int>(limit - copy));
    return 0;
}

int NUTemplateToOutput::replaceAttribute(char** out, int* outSize, const char* tag,
                                         int tagLen, const char** copyPos,
                                         const char* attrAt, size_t attrLen,
                                         const char* value)
{
    const char* limit = tag + tagLen;
    const char* copy = *copyPos;
    const char* v = attrAt + attrLen;
    int sum = appendN(out, outSize, copy, static_cast<int>(v - copy));
    sum += appendN(out, outSize, "\"", 1);
    sum += appendN(out, outSize, value, static_cast<int>(strlen(value)));
    sum += appendN(out, outSize, "\" ", 2);
    // Skip the old value: through its closing quote, else through the next
    // blank; when that is not inside the tag, up to the tag's last byte.
    const char* close = nullptr;
    if (v < limit && *v)
        close = strchr(v + 1, *v == '"' ? '"' : ' ');
    if (close && close < limit)
        *copyPos = close + 1;
    else
        *copyPos = v < limit - 1 ? limit - 1 : v;
    return sum;
}

int NUTemplateToOutput::setAttribute(char** out, int* outSize, const char* tag, int tagLen,
                                     const char** copyPos, const char* opening,
                                     const char* value)
{
    size_t attrLen = strlen(opening) - 1;
    const char* at = findIn(tag, tag + tagLen, opening, attrLen);
    if (at)
        return replaceAttribute(out, outSize, tag, tagLen, copyPos, at, attrLen, value);
    int sum = appendN(out, outSize, opening, static_cast<int>(attrLen + 1));
    sum += appendN(out, outSize, value, static_cast<int>(strlen(value)));
    sum += appendN(out, outSize, "\" ", 2);
    return sum;
}

int NUTemplateToOutput::fillFormTag(char** out, int* outSize, const char* tag, int tagLen)
{
    if (badHandlerArgs(out, outSize, tag, tagLen))
        return NUTPL_BAD_ARG;
    const char* limit = tag + tagLen;
    int rc = appendN(out, outSize, "<form", 5);
    if (rc != 0)
        return rc;
    const char* copy = tag + (tagLen < 5 ? tagLen : 5);
    const char* action = nullptr;
    rc = getAttributeValue(tag, "name", &action);
    if (rc != 0)
        return rc;
    if (action) {
        int sum = setAttribute(out, outSize, tag, tagLen, &copy, " action=\"", action);
        if (sum != 0)
            return sum;
    }
    if (copy < limit)
        return appendN(out, outSize, copy, static_cast<int>(limit - copy));
    return 0;
}

int NUTemplateToOutput::fillInput(char** out, int* outSize, const char* tag, int tagLen)
{
    if (badHandlerArgs(out, outSize, tag, tagLen))
        return NUTPL_BAD_ARG;
    const char* limit = tag + tagLen;
    int rc = appendN(out, outSize, "<input", 6);
    if (rc != 0)
        return rc;
    const char* copy = tag + (tagLen < 6 ? tagLen : 6);
    const char* value = nullptr;
    rc = getAttributeValue(tag, "name", &value);
    if (rc != 0)
        return rc;
    if (value) {
        bool found = false;
        char* type = attributeText(tag, "type", &found);
        if (!type)
            return NUTPL_NO_MEMORY;
        bool isCheckbox = strcmp(type, "checkbox") == 0;
        bool isRadio = strcmp(type, "radio") == 0;
        free(type);
        if (isCheckbox || isRadio) {
            bool checked;
            if (isCheckbox) {
                checked = strcmp(value, "1") == 0;
            } else {
                char* own = attributeText(tag, "value", &found);
                if (!own)
                    return NUTPL_NO_MEMORY;
                if (strlen(own) > kAttrMax)
                    own[0] = '\0';
                checked = strcmp(own, value) == 0;
                free(own);
            }
            const char* ch = findIn(tag, limit, " checked");
            if (checked && !ch) {
                rc = appendN(out, outSize, " checked", 8);
            } else if (!checked && ch) {
                rc = appendN(out, outSize, copy, static_cast<int>(ch - copy));
                copy = ch + 8;
            }
            if (rc != 0)
                return rc;
        } else {
            int sum = setAttribute(out, outSize, tag, tagLen, &copy, " value=\"", value);
            if (sum != 0)
                return sum;
        }
    }
    if (copy < limit)
        return appendN(out, outSize, copy, static_cast<int>(limit - copy));
    return 0;
}

int NUTemplateToOutput::fillForm(char* text, char** out)
{
    if (!text || !out)
        return NUTPL_BAD_ARG;
    if (!*text)
        return 0;
    strcpy(currentSelect, defaultSelect);
    char* sub = nullptr;
    int rc = substitute(text, &sub);
    if (rc != 0)
        return rc;
    size_t len = strlen(sub);
    if (len == 0) {
        *out = sub;
        return 0;
    }
    if (len > static_cast<size_t>(INT_MAX) / 2) {
        free(sub);
        return NUTPL_NO_MEMORY;
    }
    int size = static_cast<int>(2 * len);
    char* res = static_cast<char*>(calloc(static_cast<size_t>(size), 1));
    if (!res) {
        free(sub);
        return NUTPL_NO_MEMORY;
    }
    const char* last = sub + len - 1;
    const char* pos = sub;
    bool inFilledArea = false;
    rc = 0;
    while (rc >= 0) {
        const char* lt = strchr(pos, '<');
        if (!lt) {
            rc = appendN(&res, &size, pos, static_cast<int>(strlen(pos)));
            break;
        }
        if (strncmp(lt, "</textarea>", 11) == 0) {
            if (inFilledArea)
                rc = appendN(&res, &size, "</textarea>", 11);
            else
                rc = appendN(&res, &size, pos, static_cast<int>(lt + 11 - pos));
            inFilledArea = false;
            pos = lt + 11;
            continue;
        }
        if (inFilledArea) {
            // The template's own content of a filled text area is dropped.
            pos = lt + 1;
            continue;
        }
        rc = appendN(&res, &size, pos, static_cast<int>(lt - pos));
        if (rc < 0)
            break;
        const char* tagEnd = strchr(lt + 1, '>');
        if (!tagEnd)
            tagEnd = strchr(lt + 1, '\n');
        if (!tagEnd)
            tagEnd = last;
        int tagLen = static_cast<int>(tagEnd - lt + 1);
        if (strncmp(lt, "<textarea", 9) == 0) {
            rc = fillTextarea(&res, &size, lt, tagLen);
            if (rc == 1)
                inFilledArea = true;
        } else if (strncmp(lt, "<form ", 6) == 0) {
            rc = fillFormTag(&res, &size, lt, tagLen);
        } else if (strncmp(lt, "<input ", 7) == 0) {
            rc = fillInput(&res, &size, lt, tagLen);
        } else if (strncmp(lt, "<select ", 8) == 0) {
            rc = fillSelect(&res, &size, lt, tagLen);
        } else if (strncmp(lt, "<option", 7) == 0) {
            rc = fillOption(&res, &size, lt, tagLen);
        } else {
            rc = appendN(&res, &size, lt, tagLen);
        }
        pos = tagEnd + 1;
    }
    free(sub);
    if (rc < 0) {
        free(res);
        return rc;
    }
    *out = res;
    return 0;
}
