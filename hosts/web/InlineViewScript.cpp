#include "hosts/web/InlineViewScript.h"

namespace hosts {

namespace {

std::string jsonStringArray(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (const auto& item : items) {
        if (out.size() > 1)
            out += ',';
        out += '"';
        for (char c : item) {
            // Bundle strings are plain ASCII type names; anything else is dropped rather than escaped.
            if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
                continue;
            out += c;
        }
        out += '"';
    }
    return out + "]";
}

const char* kScript = R"JS(
(() => {
    const handler = window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.lectorin;
    if (!handler)
        return;
    if (location.protocol === 'lectorin-embed:') {
        // A view's own frame: its controls carry data-command; only the user's own clicks count. A press
        // on a control or a link neither moves the focus nor starts a selection: a press that focuses a
        // button ends, in this engine, in a release that makes no click.
        document.addEventListener('mousedown', event => {
            if (event.isTrusted && event.button === 0 && event.target instanceof Element
                && event.target.closest('[data-command], [data-link]'))
                event.preventDefault();
        }, true);
        document.addEventListener('click', event => {
            if (!event.isTrusted)
                return;
            const target = event.target instanceof Element ? event.target : null;
            const link = target ? target.closest('[data-link]') : null;
            if (link) {
                event.preventDefault();
                handler.postMessage({ kind: 'link', token: location.hostname, link: Number(link.dataset.link) })
                    .then(answer => {
                        if (typeof answer === 'string' && answer.startsWith('scroll:'))
                            window.scrollTo(window.scrollX, Number(answer.substring(7)));
                    }, () => {});
                return;
            }
            const control = target ? target.closest('[data-command]') : null;
            if (!control)
                return;
            event.preventDefault();
            handler.postMessage({ kind: 'command', token: location.hostname, command: control.dataset.command })
                .then(answer => { if (answer === 'reload') location.reload(); }, () => {});
        }, true);
        return;
    }
    const types = TYPES, extensions = EXTENSIONS;
    const extensionOf = src => {
        const path = String(src || '').split(/[?#]/)[0];
        const name = path.substring(path.lastIndexOf('/') + 1);
        const dot = name.lastIndexOf('.');
        return dot < 0 ? '' : name.substring(dot + 1).toLowerCase();
    };
    const sourceOf = element => element.localName === 'object' ? element.getAttribute('data') : element.getAttribute('src');
    const claims = element => {
        const type = (element.getAttribute('type') || '').split(';')[0].trim().toLowerCase();
        if (type)
            return types.includes(type);
        return extensions.includes(extensionOf(sourceOf(element)));
    };
    const dimension = (element, name, computed, fallback) => {
        const written = (element.getAttribute(name) || '').trim();
        if (/^\d+(\.\d+)?(px)?$/.test(written))
            return parseFloat(written);
        return computed > 0 ? computed : fallback;
    };
    const replace = element => {
        if (element.__lectorinSeen)
            return;
        element.__lectorinSeen = true;
        const attributes = {};
        for (const attribute of element.attributes)
            attributes[attribute.name.toLowerCase()] = attribute.value;
        if (element.localName === 'object' && attributes.data !== undefined)
            attributes.src = attributes.data;
        const box = element.getBoundingClientRect();
        const width = dimension(element, 'width', box.width, 300), height = dimension(element, 'height', box.height, 150);
        const frame = document.createElement('iframe');
        frame.setAttribute('style', element.getAttribute('style') || '');
        if (element.id)
            frame.id = element.id;
        if (element.className)
            frame.className = element.className;
        frame.style.border = '0';
        frame.style.width = /%$/.test(element.getAttribute('width') || '') ? element.getAttribute('width') : width + 'px';
        frame.style.height = /%$/.test(element.getAttribute('height') || '') ? element.getAttribute('height') : height + 'px';
        frame.style.display = 'inline-block';
        frame.style.verticalAlign = 'bottom';
        frame.dataset.lectorinView = '';
        element.replaceWith(frame);
        handler.postMessage({ kind: 'create', attributes, base: document.baseURI, page: location.href, width, height })
            .then(url => { if (typeof url === 'string' && url.startsWith('lectorin-embed://')) frame.src = url; }, () => {});
    };
    const scan = root => {
        if (!(root instanceof Element) && !(root instanceof Document))
            return;
        if (root instanceof Element && (root.localName === 'embed' || root.localName === 'object') && claims(root))
            replace(root);
        for (const element of root.querySelectorAll('embed, object'))
            if (claims(element))
                replace(element);
    };
    new MutationObserver(records => {
        for (const record of records)
            for (const node of record.addedNodes)
                scan(node);
    }).observe(document, { childList: true, subtree: true });
    document.addEventListener('DOMContentLoaded', () => scan(document));
})();
)JS";

} // namespace

std::string inlineViewScript(const ClaimedTypes& claimed)
{
    std::string script = kScript;
    script.replace(script.find("TYPES"), 5, jsonStringArray(claimed.mimeTypes));
    script.replace(script.find("EXTENSIONS"), 10, jsonStringArray(claimed.extensions));
    return script;
}

} // namespace hosts
