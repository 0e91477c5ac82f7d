package gallery;

/** What a photo's link may open. */
class Links {
	static var allowed = ~/^(https?|mailto|ftp|file):/i;
	static var otherScheme = ~/^[a-z][a-z0-9+-]*:(?![0-9])/i;

	/**
		The address to open: web, mail and file addresses as they are; a bare host name
		("www.example.org/x", "localhost:8080/x") as a web address; "" for no link. Any other scheme
		gives null: a script address would run inside the page that hosts the gallery.
	**/
	public static function address(url:Null<String>):Null<String> {
		if (url == null)
			return "";
		url = StringTools.trim(url);
		if (url == "" || allowed.match(url))
			return url;
		if (otherScheme.match(url))
			return null;
		return "http://" + url;
	}
}
