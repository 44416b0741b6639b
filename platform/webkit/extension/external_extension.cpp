// The web-process extension that gives every page its window.external object.
//
// WebKit loads this library into each web process with the host's socket path as its
// initialization data. When a frame's window object is made, the extension says hello to the
// host and defines window.external: an object whose every method call is sent to the host and
// waits for its answer, so the page's script sees the result synchronously. Texts cross as
// arrays of UTF-16 units, so NULs and any character survive.

#include <gmodule.h>
#include <webkit2/webkit-web-extension.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/webkit/external_client.h"

namespace {

using namespace tessel::platform;
using namespace tessel::platform::webkit;

// Turns the native call function into the window.external object. Methods the host does not
// know throw a TypeError; object conversions ("" + external, JSON) use the usual methods.
constexpr const char* kExternalFactory = R"JS((function (call) {
  function toUnits(s) {
    var a = new Uint16Array(s.length);
    for (var i = 0; i < s.length; i++) a[i] = s.charCodeAt(i);
    return a;
  }
  function fromUnits(a) {
    var s = '';
    for (var i = 0; i < a.length; i += 4096)
      s += String.fromCharCode.apply(null, a.subarray(i, i + 4096));
    return s;
  }
  function wire(v) {
    var t = typeof v;
    if (t === 'string') return toUnits(v);
    return (t === 'number' || t === 'boolean') ? v : undefined;
  }
  var target = {};
  var external = new Proxy(target, {
    get: function (t, name) {
      if (typeof name !== 'string' || name === 'then') return undefined;
      if (name in Object.prototype) return Object.prototype[name];
      return function () {
        var args = [toUnits(name)];
        for (var i = 0; i < arguments.length; i++) args.push(wire(arguments[i]));
        var r = call.apply(null, args);
        return (r instanceof Uint16Array) ? fromUnits(r) : r;
      };
    }
  });
  Object.defineProperty(window, 'external', {value: external, configurable: false, writable: false});
}))JS";

ExternalClient& host() {
    static ExternalClient link;
    return link;
}

std::u16string unitsOf(JSCValue* value) {
    gsize length = 0;
    const auto* data = static_cast<const char16_t*>(jsc_value_typed_array_get_data(value, &length));
    return data ? std::u16string(data, length) : std::u16string();
}

bool isUnits(JSCValue* value) {
    return jsc_value_is_typed_array(value) &&
           jsc_value_typed_array_get_type(value) == JSC_TYPED_ARRAY_UINT16;
}

ScriptValue toScriptValue(JSCValue* value) {
    if (isUnits(value)) return unitsOf(value);
    if (jsc_value_is_boolean(value)) return static_cast<bool>(jsc_value_to_boolean(value));
    if (!jsc_value_is_number(value)) return std::monostate{};
    const double d = jsc_value_to_double(value);
    if (std::trunc(d) == d && d >= -2147483648.0 && d <= 2147483647.0)
        return static_cast<std::int32_t>(d);
    return d;
}

struct JsValueMaker {
    JSCContext* context;
    JSCValue* operator()(std::monostate) const { return jsc_value_new_undefined(context); }
    JSCValue* operator()(bool b) const { return jsc_value_new_boolean(context, b); }
    JSCValue* operator()(std::int32_t i) const { return jsc_value_new_number(context, i); }
    JSCValue* operator()(double d) const { return jsc_value_new_number(context, d); }
    JSCValue* operator()(const std::u16string& s) const {
        JSCValue* array = jsc_value_new_typed_array(context, JSC_TYPED_ARRAY_UINT16, s.size());
        gsize length = 0;
        void* data = jsc_value_typed_array_get_data(array, &length);
        if (data && length == s.size()) std::memcpy(data, s.data(), s.size() * sizeof(char16_t));
        return array;
    }
};

JSCValue* fail(JSCContext* context, const char* name, const std::string& message) {
    JSCException* exception = jsc_exception_new_with_name(context, name, message.c_str());
    jsc_context_throw_exception(context, exception);
    g_object_unref(exception);
    return jsc_value_new_undefined(context);
}

std::string utf8(const std::u16string& text) {
    gchar* converted = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text.data()),
                                       static_cast<glong>(text.size()), nullptr, nullptr, nullptr);
    std::string out = converted ? converted : "?";
    g_free(converted);
    return out;
}

// The native half of every window.external method: args[0] is the method name.
JSCValue* callHost(GPtrArray* args, gpointer) {
    JSCContext* context = jsc_context_get_current();
    if (args->len == 0 || !isUnits(static_cast<JSCValue*>(args->pdata[0])))
        return fail(context, "TypeError", "window.external: bad call");
    ExternalRequest request{ExternalRequest::Kind::Call,
                            unitsOf(static_cast<JSCValue*>(args->pdata[0])), {}};
    for (guint i = 1; i < args->len; ++i)
        request.args.push_back(toScriptValue(static_cast<JSCValue*>(args->pdata[i])));
    const std::string method = "window.external." + utf8(request.method);

    const auto reply = host().call(request);
    if (!reply) return fail(context, "Error", method + ": the browser does not answer");
    switch (reply->status) {
        case ExternalReply::Status::Ok:
            return std::visit(JsValueMaker{context}, reply->value);
        case ExternalReply::Status::UnknownMethod:
            return fail(context, "TypeError", method + " is not a function");
        case ExternalReply::Status::Error:
            break;
    }
    return fail(context, "Error", method + ": the arguments were refused");
}

void defineExternal(JSCContext* context) {
    JSCValue* factory = jsc_context_evaluate(context, kExternalFactory, -1);
    JSCValue* call = jsc_value_new_function_variadic(context, "call", G_CALLBACK(callHost),
                                                     nullptr, nullptr, JSC_TYPE_VALUE);
    JSCValue* result = jsc_value_function_call(factory, JSC_TYPE_VALUE, call, G_TYPE_NONE);
    g_clear_object(&result);
    g_object_unref(call);
    g_object_unref(factory);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        g_warning("tessel: window.external not defined: %s", jsc_exception_get_message(exception));
        jsc_context_clear_exception(context);
    }
}

void windowObjectCleared(WebKitScriptWorld* world, WebKitWebPage*, WebKitFrame* frame, gpointer) {
    JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
    defineExternal(context);
    g_object_unref(context);
    if (webkit_frame_is_main_frame(frame)) host().call({ExternalRequest::Kind::Hello, {}, {}});
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension*, const GVariant* data) {
    if (data && g_variant_is_of_type(const_cast<GVariant*>(data), G_VARIANT_TYPE_STRING))
        host().setPath(g_variant_get_string(const_cast<GVariant*>(data), nullptr));
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                     G_CALLBACK(windowObjectCleared), nullptr);
}
