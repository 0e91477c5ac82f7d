package gallery;

/** One photo of the gallery as the project describes it. */
typedef PhotoEntry = {
	var caption:String;
	var description:String;
	var url:String;
	/** "_blank" (a new window) or "_self" (the current one). **/
	var target:String;
	var offset:Float;
	var size:Float;
}

/** Everything the player movie needs from the project description. */
class Project {
	public var photos:Array<PhotoEntry> = [];

	public var templateType = "";
	public var templateOffset:Float = -1;
	public var templateSize:Float = -1;

	public var useBgColor = false;
	public var bgColor = 0;
	public var useBgImage = false;
	public var bgImageOffset:Float = -1;
	public var bgImageSize:Float = -1;

	public var useFrame = false;
	public var useLight = false;
	public var useFill = false;
	/** "drag", "auto" or "influence". **/
	public var dragType = "drag";
	public var autoDelay = 5;
	public var autoPlay = false;
	public var autoLoop = false;
	public var fullPlay = false;
	public var mousedrag = false;
	public var autocursor = false;
	public var autoscroll = false;
	public var usespotlight = false;
	public var showModel = "";

	public var width = 0;
	public var height = 0;
	public var useMusic = false;
	public var musicOffset:Float = -1;
	public var musicSize:Float = -1;
	public var musicLoop = false;

	public function new() {}
}

/**
	Reads the project description that publishing appends to the movie: the project file itself
	(root "Tavio" with Images, Template, Audios and Seting). Element names are matched without
	regard to case, as the program reads them; a value that does not parse keeps its default, so a
	damaged description still gives a playable gallery.
**/
class ProjectDescription {
	public static function parse(text:String):Project {
		var project = new Project();
		var root = Xml.parse(text).firstElement();
		if (root == null || root.nodeName.toLowerCase() != "tavio")
			throw "the gallery description is not a project";
		for (section in root.elements()) {
			switch (section.nodeName.toLowerCase()) {
				case "images":
					for (photo in section.elements())
						project.photos.push(readPhoto(photo));
				case "template":
					readTemplate(section, project);
				case "seting":
					readSettings(section, project);
				default:
			}
		}
		return project;
	}

	static function readPhoto(node:Xml):PhotoEntry {
		var fields = fieldsOf(node);
		return {
			caption: text(fields, "caption"),
			description: text(fields, "description"),
			url: StringTools.trim(text(fields, "url")),
			target: text(fields, "urltype").toLowerCase() == "st_current" ? "_self" : "_blank",
			offset: number(fields, "md5o", -1),
			size: number(fields, "crts", -1)
		};
	}

	static function readTemplate(node:Xml, p:Project) {
		var f = fieldsOf(node);
		p.templateType = text(f, "templatetype");
		p.templateOffset = number(f, "md5o", -1);
		p.templateSize = number(f, "crts", -1);
		p.useBgColor = flag(f, "usebgcolor", p.useBgColor);
		p.bgColor = Std.int(number(f, "bgcolor", 0)) & 0xFFFFFF;
		p.useBgImage = flag(f, "usebgimage", p.useBgImage);
		p.bgImageOffset = number(f, "imgoffset", -1);
		p.bgImageSize = number(f, "imgsize", -1);
		p.useFrame = flag(f, "useframe", p.useFrame);
		p.useLight = flag(f, "uselight", p.useLight);
		p.useFill = flag(f, "usefill", p.useFill);
		p.dragType = switch (text(f, "dragtype").toLowerCase()) {
			case "st_auto": "auto";
			case "st_influence": "influence";
			default: "drag";
		};
		var delay = Std.int(number(f, "autodelay", 5));
		p.autoDelay = delay < 1 ? 1 : (delay > 100 ? 100 : delay);
		p.autoPlay = flag(f, "autoplay", p.autoPlay);
		p.autoLoop = flag(f, "autoloop", p.autoLoop);
		p.fullPlay = flag(f, "fullplay", p.fullPlay);
		p.mousedrag = flag(f, "mousedrag", p.mousedrag);
		p.autocursor = flag(f, "autocursor", p.autocursor);
		p.autoscroll = flag(f, "autoscroll", p.autoscroll);
		p.usespotlight = flag(f, "usespotlight", p.usespotlight);
		p.showModel = StringTools.trim(text(f, "showmodel"));
	}

	static function readSettings(node:Xml, p:Project) {
		var f = fieldsOf(node);
		p.width = Std.int(number(f, "width", 0));
		p.height = Std.int(number(f, "height", 0));
		p.useMusic = flag(f, "usemusic", false);
		p.musicOffset = number(f, "md5o", -1);
		p.musicSize = number(f, "crts", -1);
		p.musicLoop = flag(f, "musicloop", false);
	}

	/** The text of each child element by lower-cased name; the first of a repeated name wins. */
	static function fieldsOf(node:Xml):Map<String, String> {
		var fields = new Map<String, String>();
		for (child in node.elements()) {
			var name = child.nodeName.toLowerCase();
			if (fields.exists(name))
				continue;
			var buf = new StringBuf();
			for (part in child)
				if (part.nodeType == PCData || part.nodeType == CData)
					buf.add(part.nodeValue);
			fields.set(name, buf.toString());
		}
		return fields;
	}

	static function text(fields:Map<String, String>, name:String):String {
		var v = fields.get(name);
		return v == null ? "" : v;
	}

	static function flag(fields:Map<String, String>, name:String, fallback:Bool):Bool {
		var v = fields.get(name);
		if (v == null)
			return fallback;
		return switch (StringTools.trim(v).toLowerCase()) {
			case "true": true;
			case "false": false;
			default: fallback;
		};
	}

	/** Whole decimal numbers only; anything else gives the fallback. */
	static function number(fields:Map<String, String>, name:String, fallback:Float):Float {
		var v = fields.get(name);
		if (v == null)
			return fallback;
		v = StringTools.trim(v);
		if (!~/^-?[0-9]{1,15}$/.match(v))
			return fallback;
		var f = Std.parseFloat(v);
		return Math.isNaN(f) ? fallback : f;
	}
}
