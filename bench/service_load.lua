-- wrk script for tarvex-service: POSTs doGoogleSearch bodies in turn (files named in
-- TARVEX_LOAD_BODIES, separated by blanks) and reports requests per second, the median and
-- 99th-percentile latency, and every kind of error.
local bodies = {}
for path in string.gmatch(os.getenv("TARVEX_LOAD_BODIES") or "", "%S+") do
    local file = assert(io.open(path, "rb"))
    bodies[#bodies + 1] = file:read("*a")
    file:close()
end
assert(#bodies > 0, "TARVEX_LOAD_BODIES names no request bodies")

local counter = 0
local headers = {
    ["Content-Type"] = "text/xml; charset=utf-8",
    ["SOAPAction"] = '"urn:GoogleSearchAction"',
}

request = function()
    counter = counter + 1
    return wrk.format("POST", nil, headers, bodies[counter % #bodies + 1])
end

done = function(summary, latency, requests)
    local seconds = summary.duration / 1e6
    local e = summary.errors
    io.write(string.format("requests        %d in %.1f s\n", summary.requests, seconds))
    io.write(string.format("requests/s      %.0f\n", summary.requests / seconds))
    io.write(string.format("latency median  %.2f ms\n", latency:percentile(50) / 1000))
    io.write(string.format("latency p99     %.2f ms\n", latency:percentile(99) / 1000))
    io.write(string.format("errors          connect %d, read %d, write %d, status %d, timeout %d\n",
                           e.connect, e.read, e.write, e.status, e.timeout))
end
