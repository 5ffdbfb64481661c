#include "keyring/Keyring.h"

#include <algorithm>
#include <cctype>
#include <libsecret/secret.h>

namespace veldrano {

namespace {

constexpr const char* kService = "VELDRANO";
// After the wait ran out the call is cancelled; a cancelled D-Bus call answers at once, and
// this bounds the rare one that does not.
constexpr gint64 kCancelGraceMicroseconds = 200000;

const SecretSchema* Schema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "example.veldrano.Veldrano";
        // Items are found by their attributes alone, as secret-tool and other tools find them.
        s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"key", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

// One asynchronous libsecret call, run in a main context of this thread's own: nothing else
// (a window's events) is dispatched while it is awaited, and the wait is bounded.
class BoundedCall {
  public:
    explicit BoundedCall(std::chrono::milliseconds wait)
        : m_context(g_main_context_new()), m_cancellable(g_cancellable_new()),
          m_deadline(g_get_monotonic_time() +
                     std::chrono::duration_cast<std::chrono::microseconds>(wait).count()) {
        g_main_context_push_thread_default(m_context);
    }
    ~BoundedCall() {
        g_main_context_pop_thread_default(m_context);
        if (m_result)
            g_object_unref(m_result);
        g_object_unref(m_cancellable);
        g_main_context_unref(m_context);
    }
    BoundedCall(const BoundedCall&) = delete;
    BoundedCall& operator=(const BoundedCall&) = delete;

    GCancellable* cancellable() const { return m_cancellable; }
    static void Done(GObject*, GAsyncResult* result, gpointer self) {
        auto* call = static_cast<Pending*>(self);
        call->result = G_ASYNC_RESULT(g_object_ref(result));
        call->done = true;
    }
    gpointer data() { return m_pending; }

    // The call's result, or nullptr when the keyring did not answer in time.
    GAsyncResult* Wait() {
        bool cancelled = false;
        while (!m_pending->done) {
            const gint64 now = g_get_monotonic_time();
            if (!cancelled && now >= m_deadline) {
                g_cancellable_cancel(m_cancellable);
                cancelled = true;
                m_deadline = now + kCancelGraceMicroseconds;
            } else if (cancelled && now >= m_deadline) {
                m_pending = nullptr; // left to the call, which may still answer into it
                return nullptr;
            }
            GSource* tick = g_timeout_source_new(
                static_cast<guint>(std::max<gint64>(1, (m_deadline - now) / 1000)));
            g_source_set_callback(
                tick, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
            g_source_attach(tick, m_context);
            g_main_context_iteration(m_context, TRUE);
            g_source_destroy(tick);
            g_source_unref(tick);
        }
        m_result = m_pending->result;
        delete m_pending;
        m_pending = nullptr;
        return m_result;
    }

  private:
    struct Pending {
        bool done = false;
        GAsyncResult* result = nullptr;
    };
    GMainContext* m_context;
    GCancellable* m_cancellable;
    gint64 m_deadline;
    Pending* m_pending = new Pending;
    GAsyncResult* m_result = nullptr;
};

// True when the call answered without an error.
bool Answered(GError* error) {
    if (!error)
        return true;
    g_error_free(error);
    return false;
}

} // namespace

Keyring::Lookup Keyring::Read(const std::string& key, std::chrono::milliseconds wait) {
    BoundedCall call(wait);
    secret_password_lookup(Schema(), call.cancellable(), &BoundedCall::Done, call.data(), "service",
                           kService, "key", key.c_str(), nullptr);
    GAsyncResult* result = call.Wait();
    if (!result)
        return {};
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_finish(result, &error);
    if (!Answered(error))
        return {};
    if (!secret)
        return {Answer::Missing, {}};
    Lookup found{Answer::Found, secret};
    secret_password_free(secret); // wiped before it is freed
    return found;
}

bool Keyring::Store(const std::string& key, const std::string& label, const std::string& secret,
                    std::chrono::milliseconds wait) {
    if (!g_utf8_validate(secret.data(), static_cast<gssize>(secret.size()), nullptr) ||
        !g_utf8_validate(key.data(), static_cast<gssize>(key.size()), nullptr) ||
        !g_utf8_validate(label.data(), static_cast<gssize>(label.size()), nullptr))
        return false;
    BoundedCall call(wait);
    secret_password_store(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(),
                          call.cancellable(), &BoundedCall::Done, call.data(), "service", kService,
                          "key", key.c_str(), nullptr);
    GAsyncResult* result = call.Wait();
    if (!result)
        return false;
    GError* error = nullptr;
    const bool stored = secret_password_store_finish(result, &error);
    return Answered(error) && stored;
}

bool Keyring::Remove(const std::string& key, std::chrono::milliseconds wait) {
    BoundedCall call(wait);
    secret_password_clear(Schema(), call.cancellable(), &BoundedCall::Done, call.data(), "service",
                          kService, "key", key.c_str(), nullptr);
    GAsyncResult* result = call.Wait();
    if (!result)
        return false;
    GError* error = nullptr;
    secret_password_clear_finish(result, &error); // false without an error: there was none
    return Answered(error);
}

std::string Keyring::SmtpKey(const std::string& user, const std::string& server) {
    return "smtp:" + user + "@" + server;
}

std::string Keyring::CardDavKey(const std::string& user, const std::string& url) {
    std::string host = url;
    if (const size_t scheme = host.find("://"); scheme != std::string::npos)
        host.erase(0, scheme + 3);
    host = host.substr(0, host.find_first_of("/?#"));
    if (const size_t at = host.rfind('@'); at != std::string::npos)
        host.erase(0, at + 1);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return "carddav:" + user + "@" + host;
}

} // namespace veldrano
