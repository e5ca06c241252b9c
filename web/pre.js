// Runs inside the program's scope before it starts (emcc --pre-js): the platform's
// variables from the page's URL (?fps=60&input=... mean PRISMATEL_FPS and PRISMATEL_INPUT),
// and the program waits for the viewer's click, since the browser allows sound only after a
// gesture (page.js calls Module.prismatelGo).
Module.preRun = (Module.preRun || []).concat(function () {
    var parameters = new URLSearchParams(location.search);
    var variables = { fps: 'PRISMATEL_FPS', input: 'PRISMATEL_INPUT' };
    for (var name in variables) {
        if (parameters.has(name)) ENV[variables[name]] = parameters.get(name);
    }
    addRunDependency('viewer');
    Module.prismatelGo = function () {
        removeRunDependency('viewer');
    };
});
