#include "desktop/http_client.h"

#include <curl/curl.h>

namespace {

size_t keep(char* data, size_t size, size_t count, void* reply) {
    static_cast<HttpReply*>(reply)->body.append(data, size * count);
    return size * count;
}

}  // namespace

HttpReply http_request(const std::string& url, const std::string* body,
                       const std::string& content_type, const std::vector<std::string>& extra,
                       long timeout_seconds) {
    HttpReply reply;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        reply.problem = "cannot start an HTTP client";
        return reply;
    }
    char problem[CURL_ERROR_SIZE] = "";
    curl_slist* headers = curl_slist_append(nullptr, ("Content-Type: " + content_type).c_str());
    for (const std::string& h : extra) {
        headers = curl_slist_append(headers, h.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, problem);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeout_seconds);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeout_seconds < 5 ? timeout_seconds : 5L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (body != nullptr) {
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }
    const CURLcode done = curl_easy_perform(curl);
    if (done == CURLE_OK) {
        reply.reached = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    } else {
        reply.problem = problem[0] != '\0' ? problem : curl_easy_strerror(done);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}

std::string url_escaped(const std::string& text) {
    char* e = curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size()));
    std::string out = e != nullptr ? e : "";
    curl_free(e);
    return out;
}
