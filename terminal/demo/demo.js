// The demo page: every scan callback writes a log line, and every device method can be called.

// The device methods that take no argument and report a value.
var QUERIES = ["getVendor", "getSerialNumber", "getManufactureDate", "getOsVersion",
               "getScannerTypeOnCom1", "getScannerTypeOnCom2", "getSignalStrength",
               "getBatteryStatus"];

function log(text) {
    var box = document.getElementById("log");
    var line = document.createElement("div");
    line.textContent = new Date().toLocaleTimeString() + " " + text;
    box.insertBefore(line, box.firstChild);
}

// Calls window.external[name](args...) and returns its value, or the error's text.
function call(name) {
    var args = Array.prototype.slice.call(arguments, 1);
    if (!window.external || typeof window.external[name] !== "function") {
        log(name + ": window.external has no such method");
        return "(missing)";
    }
    try {
        var value = window.external[name].apply(window.external, args);
        log(name + "(" + args.join(", ") + ") = " + value);
        return value;
    } catch (e) {
        log(name + "(" + args.join(", ") + ") threw " + e);
        return "(error)";
    }
}

function refreshDevice() {
    var table = document.getElementById("device");
    table.innerHTML = "";
    QUERIES.forEach(function (name) {
        var row = table.insertRow();
        row.insertCell().textContent = name;
        row.insertCell().textContent = String(call(name));
    });
}

function onScanBarcode(type, data) { log("onScanBarcode type=" + type + " data=" + data); }
function onScanRFID(type, data) { log("onScanRFID type=" + type + " data=" + data); }
function onScanImage(path) { log("onScanImage " + path); }
function onScanBarcodeError(code) { log("onScanBarcodeError " + code); }
function onScanRfidError(code) { log("onScanRfidError " + code); }
