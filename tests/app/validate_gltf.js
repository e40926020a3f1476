// Usage: node validate_gltf.js FILE  (NODE_PATH or --prefix dir holding gltf-validator)
// Prints the validator's counts as JSON and exits 1 when it reports errors.
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');
const file = process.argv[2];
const bytes = new Uint8Array(fs.readFileSync(file));
validator.validateBytes(bytes, {
    uri: path.basename(file),
    externalResourceFunction: (uri) => new Promise((resolve, reject) => {
        const p = path.resolve(path.dirname(file), decodeURIComponent(uri));
        fs.readFile(p, (err, data) => err ? reject(err.toString()) : resolve(new Uint8Array(data)));
    }),
}).then((report) => {
    const issues = report.issues;
    const errors = issues.messages.filter((m) => m.severity === 0);
    console.log(JSON.stringify({errors: issues.numErrors, warnings: issues.numWarnings,
                                first: errors.slice(0, 5)}));
    process.exit(issues.numErrors > 0 ? 1 : 0);
}).catch((e) => { console.log(JSON.stringify({failure: String(e)})); process.exit(2); });
